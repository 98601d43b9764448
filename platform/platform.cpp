#include "platform/platform.h"

#include <new>
#include <stdexcept>

namespace platform {

namespace {

Platform* installed = nullptr;

std::string DescribeForWhat(std::uint32_t number,
                            const std::wstring& description) {
  std::string text = "Windows error " + std::to_string(number) + ": ";
  for (wchar_t c : description) {
    text += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
  }
  return text;
}

}  // namespace

Failure::Failure(std::uint32_t number, std::wstring description)
    : number_(number),
      description_(std::move(description)),
      what_(DescribeForWhat(number_, description_)) {}

Platform& Current() {
  if (installed == nullptr) {
    throw std::logic_error("no platform installed");
  }
  return *installed;
}

ScopedPlatform::ScopedPlatform(Platform& platform) : previous_(installed) {
  installed = &platform;
}

ScopedPlatform::~ScopedPlatform() { installed = previous_; }

int RunReportingFailures(Platform& platform, void (*routine)()) {
  ScopedPlatform use(platform);
  try {
    routine();
    return 0;
  } catch (const Failure& failure) {
    platform.ReportUnhandledFailure(failure);
    return failure.Number() != 0 ? static_cast<int>(failure.Number()) : 1;
  } catch (const std::bad_alloc&) {
    platform.ReportUnhandledFailure(
        Failure(error::kNotEnoughMemory,
                L"Not enough memory resources are available to process "
                L"this command."));
    return static_cast<int>(error::kNotEnoughMemory);
  } catch (const std::exception&) {
    platform.ReportUnhandledFailure(
        Failure(error::kInternalError,
                L"An internal error occurred."));
    return static_cast<int>(error::kInternalError);
  }
}

}  // namespace platform
