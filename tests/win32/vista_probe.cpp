// A program that imports what Windows XP lacks, for the check of the
// shipped files to refuse: GetTickCount64 came with Windows Vista, and
// GetTickCount is in no table of the shipped files' functions.
#include <windows.h>

int main() {
  return static_cast<int>(::GetTickCount64() - ::GetTickCount());
}
