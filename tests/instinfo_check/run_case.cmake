# Runs instinfo-check once and compares its exit status and its standard output with a reviewed file.
#   cmake -DPROGRAM=... -DWORKDIR=... -DARGS=a@b@c -DEXIT=n -DEXPECTED=file [-DACTUAL=file] -P run_case.cmake
# With INSTINFO_CHECK_UPDATE set in the environment the expected file is written instead (review it after).
string(REPLACE "@" ";" arguments "${ARGS}")
execute_process(
    COMMAND ${PROGRAM} ${arguments}
    WORKING_DIRECTORY ${WORKDIR}
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    RESULT_VARIABLE status)
if(NOT status EQUAL EXIT)
    message(FATAL_ERROR "exit status ${status}, expected ${EXIT}\nstdout:\n${out}\nstderr:\n${err}")
endif()
if(NOT EXPECTED)
    return()
endif()
if(DEFINED ENV{INSTINFO_CHECK_UPDATE})
    file(WRITE ${EXPECTED} "${out}")
    return()
endif()
file(READ ${EXPECTED} expected)
if(NOT "${out}" STREQUAL "${expected}")
    file(WRITE ${ACTUAL} "${out}")
    message(FATAL_ERROR "output differs from ${EXPECTED}; see: diff -u ${EXPECTED} ${ACTUAL}")
endif()
