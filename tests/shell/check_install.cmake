# Installs the build into a scratch prefix and checks that every file lands where the desktop
# expects it, and that the desktop entry, the AppStream metadata and the manual pages pass their
# validators when those are installed (desktop-file-utils, appstream, man-db).
# Run with -DBUILD_DIR=<build> -DPREFIX=<scratch> -DHELP_SOURCE_DIR=<help pages>
# -DEXAMPLES_SOURCE_DIR=<example tests>.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()

set(missing "")
macro(expect_file path)
  if(NOT EXISTS "${PREFIX}/${path}" OR IS_DIRECTORY "${PREFIX}/${path}")
    list(APPEND missing "${path}")
  endif()
endmacro()

expect_file(bin/quorvel)
expect_file(bin/quorvel-cli)
expect_file(share/applications/quorvel.desktop)
expect_file(share/mime/packages/quorvel.xml)
expect_file(share/icons/hicolor/scalable/apps/quorvel.svg)
expect_file(share/icons/hicolor/256x256/apps/quorvel.png)
expect_file(share/quorvel/help/index.html)
file(GLOB pages RELATIVE "${HELP_SOURCE_DIR}" "${HELP_SOURCE_DIR}/*")
foreach(page IN LISTS pages)
  expect_file(share/quorvel/help/${page})
endforeach()
expect_file(share/quorvel/help/riga-di-comando.html)
file(GLOB examples RELATIVE "${EXAMPLES_SOURCE_DIR}" "${EXAMPLES_SOURCE_DIR}/*.flt")
list(LENGTH examples example_count)
if(example_count LESS 4)
  message(FATAL_ERROR "expected the four example tests in ${EXAMPLES_SOURCE_DIR}, found: ${examples}")
endif()
foreach(example IN LISTS examples)
  expect_file(share/quorvel/examples/${example})
endforeach()
expect_file(share/man/man1/quorvel.1)
expect_file(share/man/man1/quorvel-cli.1)
expect_file(share/metainfo/it.ombrat.quorvel.metainfo.xml)
expect_file(share/doc/quorvel/LICENSE)
expect_file(share/doc/quorvel/README.md)
if(missing)
  message(FATAL_ERROR "not installed: ${missing}")
endif()

# The installed tool runs; the window program cannot be started here, so only its mode is checked.
execute_process(COMMAND "${PREFIX}/bin/quorvel-cli" --help RESULT_VARIABLE result
                OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "installed quorvel-cli --help failed (${result}):\n${output}")
endif()
execute_process(COMMAND test -x "${PREFIX}/bin/quorvel" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "bin/quorvel is not executable")
endif()

file(READ "${PREFIX}/share/applications/quorvel.desktop" desktop)
foreach(line "[Desktop Entry]" "Type=Application" "Exec=quorvel %f" "Icon=quorvel"
             "MimeType=application/x-quorvel-test;")
  string(FIND "${desktop}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "quorvel.desktop lacks '${line}'")
  endif()
endforeach()

file(READ "${PREFIX}/share/mime/packages/quorvel.xml" mime)
foreach(part "type=\"application/x-quorvel-test\"" "<glob pattern=\"*.flt\"/>"
             "<comment>Test di filtro Quorvel</comment>")
  string(FIND "${mime}" "${part}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "quorvel.xml lacks '${part}'")
  endif()
endforeach()

file(READ "${PREFIX}/share/icons/hicolor/256x256/apps/quorvel.png" png_head LIMIT 24 HEX)
# PNG signature, then the IHDR chunk whose width and height are 256 (0x00000100).
if(NOT png_head MATCHES "^89504e470d0a1a0a0000000d4948445200000100")
  message(FATAL_ERROR "quorvel.png is not a 256-pixel-wide PNG: ${png_head}")
endif()
file(READ "${PREFIX}/share/icons/hicolor/scalable/apps/quorvel.svg" svg)
string(FIND "${svg}" "<svg " at)
if(at EQUAL -1)
  message(FATAL_ERROR "quorvel.svg is not an SVG file")
endif()
foreach(example IN LISTS examples)
  file(READ "${EXAMPLES_SOURCE_DIR}/${example}" original HEX)
  file(READ "${PREFIX}/share/quorvel/examples/${example}" installed HEX)
  if(NOT original STREQUAL installed)
    message(FATAL_ERROR "installed ${example} differs from the source tree's")
  endif()
endforeach()

file(READ "${PREFIX}/share/doc/quorvel/LICENSE" licence)
foreach(part "MIT License" "Copyright (c) 2026 Ombrat (Ferrolt)")
  string(FIND "${licence}" "${part}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "LICENSE lacks '${part}'")
  endif()
endforeach()

file(READ "${PREFIX}/share/metainfo/it.ombrat.quorvel.metainfo.xml" metainfo)
foreach(part "<id>it.ombrat.quorvel</id>" "<launchable type=\"desktop-id\">quorvel.desktop</launchable>"
             "<binary>quorvel-cli</binary>" "<project_license>MIT</project_license>")
  string(FIND "${metainfo}" "${part}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the metainfo file lacks '${part}'")
  endif()
endforeach()

# The validators, when installed (scripts/install-deps --test installs them). A validator that is
# missing is reported, not failed: the layout checks above still stand.
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(DESKTOP_FILE_VALIDATE)
  # Clean means no error, no warning and no hint: the tool prints nothing.
  execute_process(COMMAND "${DESKTOP_FILE_VALIDATE}" "${PREFIX}/share/applications/quorvel.desktop"
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0 OR NOT output STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate (${result}):\n${output}")
  endif()
else()
  message(STATUS "desktop-file-validate not installed: desktop entry not validated")
endif()

find_program(APPSTREAMCLI appstreamcli)
if(APPSTREAMCLI)
  execute_process(COMMAND "${APPSTREAMCLI}" validate --no-net --pedantic
                          "${PREFIX}/share/metainfo/it.ombrat.quorvel.metainfo.xml"
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  # Clean: no error, warning or even information line (those pass with status 0).
  if(NOT result EQUAL 0 OR output MATCHES "(^|\n)[EWI]: ")
    message(FATAL_ERROR "appstreamcli validate (${result}):\n${output}")
  endif()
  # The metadata and the desktop entry describe one application.
  execute_process(COMMAND "${APPSTREAMCLI}" validate-tree --no-net "${PREFIX}"
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "appstreamcli validate-tree (${result}):\n${output}")
  endif()
else()
  message(STATUS "appstreamcli not installed: AppStream metadata not validated")
endif()

# The manual pages render without a warning, with their name in the NAME section.
find_program(MAN man)
if(MAN)
  foreach(page quorvel quorvel-cli)
    execute_process(COMMAND env MANWIDTH=80 LC_ALL=C.UTF-8 "${MAN}" --warnings -l
                            "${PREFIX}/share/man/man1/${page}.1"
                    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE warnings)
    # With --warnings, troff reports unknown macros, glyphs and the like on stderr.
    if(NOT result EQUAL 0 OR NOT warnings STREQUAL "")
      message(FATAL_ERROR "man -l ${page}.1 (${result}):\n${warnings}")
    endif()
    if(NOT output MATCHES "NOME\n +${page} - ")
      message(FATAL_ERROR "man -l ${page}.1 gives no NOME section for ${page}:\n${output}")
    endif()
  endforeach()
else()
  message(STATUS "man not installed: manual pages not rendered")
endif()
message(STATUS "installed layout complete in ${PREFIX}")
