# The README against the scripts and the build: every Debian package the scripts install is
# listed, both test commands are given and .ci/run runs them, the CMake version needed is the one
# the build asks for, and the sections a new user needs are there. SOURCE_DIR is the repository.
file(READ ${SOURCE_DIR}/README.md readme)

function(require text what)
  string(FIND "${readme}" "${text}" at)
  if(at EQUAL -1)
    message(SEND_ERROR "README.md does not ${what}: '${text}'")
  endif()
endfunction()

# Package names: the packages="..." lists, the apt-get install lines and the need_packages calls
# of the scripts.
foreach(script test.sh test-aarch64.sh reliability.sh web.sh)
  file(STRINGS ${SOURCE_DIR}/tools/${script} lines REGEX "(packages=|apt-get install|^ *(command -v [a-z]+ .*[|][|] )?need_packages [a-z])")
  foreach(line ${lines})
    string(REGEX REPLACE "^.*(packages=\"|install -y( -qq)?|need_packages)" "" names "${line}")
    string(REGEX REPLACE "[\";].*$|\\$[a-z]+|&&.*$" "" names "${names}")
    string(REGEX MATCHALL "[a-z0-9][a-z0-9.+:-]+" names "${names}")
    foreach(name ${names})
      require("${name}" "list the package ${name} that tools/${script} installs")
    endforeach()
  endforeach()
endforeach()

require("bash tools/test.sh" "give the test command")
require("bash tools/test-all.sh" "give the second test command")
file(READ ${SOURCE_DIR}/.ci/run ci)
if(NOT ci MATCHES "tools/test-all[.]sh")
  message(SEND_ERROR ".ci/run does not run tools/test-all.sh")
endif()
file(READ ${SOURCE_DIR}/tools/test-all.sh all)
if(NOT all MATCHES "bash tools/test[.]sh")
  message(SEND_ERROR "tools/test-all.sh does not run tools/test.sh")
endif()

file(READ ${SOURCE_DIR}/CMakeLists.txt cmake)
string(REGEX MATCH "cmake_minimum_required\\(VERSION ([0-9.]+)\\)" _ "${cmake}")
require("CMake ${CMAKE_MATCH_1} or later" "name the CMake version the build needs")
foreach(section "## Platforms" "### Threads" "## Licence" "[LICENSE](LICENSE)" "ldconfig" "rpath"
        "docs/language.md" "qvcalc-dev")
  require("${section}" "have")
endforeach()
