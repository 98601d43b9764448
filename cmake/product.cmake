# The product's identity: everything a publisher sets, each a cache value,
# said once here (docs/publishers.txt has the table). The version
# information, the manifest, the package, the signature, the disc's
# AUTORUN.INF and the disc image take them from here:
#   cmake --preset mingw32 -DLAUNCHER_PUBLISHER="Atlas Maps Ltd" ...
# A value that one of those files could not carry as given is refused.
set(LAUNCHER_VERSION 1.0.0 CACHE STRING
    "The product's version: MAJOR.MINOR.PATCH")
set(LAUNCHER_PRODUCT_NAME "CD-ROM viewer launcher" CACHE STRING
    "The product's name: the install folder, the installed-programs entry, the disc's offer")
set(LAUNCHER_PUBLISHER "Disc Launcher" CACHE STRING
    "The publisher: the version information, the package, the disc image")
set(LAUNCHER_SHORTCUT_NAME "CD-ROM viewer" CACHE STRING
    "The Start-menu entry's name")
set(LAUNCHER_UPGRADE_CODE ECC5BB89-57B1-41DD-80A8-A3B375C4D0A1 CACHE STRING
    "What ties every version of the package together, for upgrades: one per product")
set(LAUNCHER_ICON ${CMAKE_CURRENT_LIST_DIR}/../app/launcher.ico CACHE FILEPATH
    "The icon of launcher.exe, its Start-menu entry, its installed-programs entry and the disc")
set(LAUNCHER_SUPPORT_URL "" CACHE STRING
    "The web page named under installed programs (empty: none)")
set(LAUNCHER_COPYRIGHT "" CACHE STRING
    "The version information's copyright (empty: Copyright (C) and the publisher)")

function(launcher_refuse_value name rule)
  message(FATAL_ERROR "${name} \"${${name}}\" ${rule}; give another with "
          "-D${name}=...")
endfunction()

if(NOT LAUNCHER_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$" OR
   CMAKE_MATCH_1 GREATER 255 OR CMAKE_MATCH_2 GREATER 255 OR
   CMAKE_MATCH_3 GREATER 65535)
  launcher_refuse_value(LAUNCHER_VERSION
    "is no version Windows Installer takes: MAJOR.MINOR.PATCH, up to 255.255.65535")
endif()
# Printable ASCII, without what the resource script, the package's XML,
# AUTORUN.INF or a command line would read as something else.
foreach(name LAUNCHER_PRODUCT_NAME LAUNCHER_PUBLISHER LAUNCHER_SHORTCUT_NAME
             LAUNCHER_SUPPORT_URL LAUNCHER_COPYRIGHT)
  if(NOT "${${name}}" MATCHES "^[ -~]*$" OR "${${name}}" MATCHES "[\"\\\\<>&$`]")
    launcher_refuse_value(${name}
      "holds a character the product's files cannot carry: printable ASCII only, without \" \\ < > & $ `")
  endif()
endforeach()
foreach(name LAUNCHER_PRODUCT_NAME LAUNCHER_PUBLISHER LAUNCHER_SHORTCUT_NAME)
  if(NOT "${${name}}" MATCHES "^[^ ].*[^ .]$")
    launcher_refuse_value(${name}
      "is not a name: at least two characters, not beginning with a blank nor ending in a blank or a dot")
  endif()
endforeach()
# The product's name is a folder's name, the shortcut's a file's.
foreach(name LAUNCHER_PRODUCT_NAME LAUNCHER_SHORTCUT_NAME)
  if("${${name}}" MATCHES "[/:*?|]")
    launcher_refuse_value(${name} "holds a character no Windows file name holds: / : * ? |")
  endif()
endforeach()
set(guid "[0-9A-F][0-9A-F][0-9A-F][0-9A-F]")
if(NOT LAUNCHER_UPGRADE_CODE MATCHES
   "^${guid}${guid}-${guid}-${guid}-${guid}-${guid}${guid}${guid}$")
  launcher_refuse_value(LAUNCHER_UPGRADE_CODE
    "is no GUID in capitals: XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX")
endif()
if(NOT EXISTS "${LAUNCHER_ICON}")
  launcher_refuse_value(LAUNCHER_ICON "is no file")
endif()
if(LAUNCHER_COPYRIGHT STREQUAL "")
  set(LAUNCHER_COPYRIGHT_TEXT "Copyright (C) ${LAUNCHER_PUBLISHER}")
else()
  set(LAUNCHER_COPYRIGHT_TEXT "${LAUNCHER_COPYRIGHT}")
endif()

# The build's date: SOURCE_DATE_EPOCH (seconds since 1970) when given, else
# the last commit's time, as reproducible builds date themselves. Every
# shipped file carries it: the PE time stamp, the package's cabinet and
# summary, the disc image and the release zip. A changed SOURCE_DATE_EPOCH
# is taken at the next configure, and a new commit reconfigures by itself.
# The shipped media cannot date a file before 1980-01-01, which stands in
# for any earlier time.
set(LAUNCHER_SOURCE_DATE_EPOCH "" CACHE STRING
    "The build's date, seconds since 1970 (empty: the last commit's time)")
if(DEFINED ENV{SOURCE_DATE_EPOCH} AND
   NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "${LAUNCHER_SOURCE_DATE_EPOCH}")
  message(STATUS "SOURCE_DATE_EPOCH=$ENV{SOURCE_DATE_EPOCH} dates this build "
          "(it was \"${LAUNCHER_SOURCE_DATE_EPOCH}\")")
  set(LAUNCHER_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}" CACHE STRING
      "The build's date, seconds since 1970 (empty: the last commit's time)" FORCE)
endif()
set(build_epoch "${LAUNCHER_SOURCE_DATE_EPOCH}")
if(build_epoch STREQUAL "")
  execute_process(COMMAND git -C ${CMAKE_CURRENT_LIST_DIR}/.. log -1 --format=%ct
                  OUTPUT_VARIABLE build_epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET RESULT_VARIABLE no_commit)
  execute_process(COMMAND git -C ${CMAKE_CURRENT_LIST_DIR}/.. rev-parse --absolute-git-dir
                  OUTPUT_VARIABLE git_dir OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(no_commit OR build_epoch STREQUAL "")
    string(TIMESTAMP build_epoch "%s" UTC)
    message(STATUS "No commit dates this build: it carries today's date; "
            "SOURCE_DATE_EPOCH sets one")
  else()
    # A new commit, or another one checked out, dates the next build.
    execute_process(COMMAND git -C ${CMAKE_CURRENT_LIST_DIR}/.. symbolic-ref -q HEAD
                    OUTPUT_VARIABLE branch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    foreach(ref HEAD ${branch} packed-refs)
      if(EXISTS ${git_dir}/${ref})
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${git_dir}/${ref})
      endif()
    endforeach()
  endif()
endif()
if(NOT build_epoch MATCHES "^[0-9]+$")
  launcher_refuse_value(LAUNCHER_SOURCE_DATE_EPOCH "is no count of seconds since 1970")
endif()
if(build_epoch LESS 315532800)
  set(build_epoch 315532800)
endif()
set(LAUNCHER_BUILD_EPOCH ${build_epoch} CACHE INTERNAL
    "The date every shipped file carries, seconds since 1970")
# Rewritten only when the date changes: what carries the date is linked or
# made again then (LAUNCHER_EPOCH_FILE is a dependency of each).
set(LAUNCHER_EPOCH_FILE ${CMAKE_BINARY_DIR}/build-epoch.txt)
file(CONFIGURE OUTPUT ${LAUNCHER_EPOCH_FILE} CONTENT "${LAUNCHER_BUILD_EPOCH}\n")
