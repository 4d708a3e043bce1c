# Installs the build into a scratch prefix and checks that every file lands where the desktop
# expects it. Run with -DBUILD_DIR=<build> -DPREFIX=<scratch> -DHELP_SOURCE_DIR=<help pages>.
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
message(STATUS "installed layout complete in ${PREFIX}")
