# End-to-end runs of the built program on the examples (included from tools/instinfo_check/CMakeLists.txt).
set(INSTINFO_CHECK_EXAMPLES ${INSTINFO_CHECK_TESTS}/examples)

# instinfo_check_case(<name> <exit status> <expected file or "-"> <arguments...>)
function(instinfo_check_case name exitStatus expected)
    string(REPLACE ";" "@" arguments "${ARGN}")
    set(expectedPath "")
    if(NOT expected STREQUAL "-")
        set(expectedPath ${INSTINFO_CHECK_TESTS}/expected/${expected})
    endif()
    add_test(NAME instinfo_check.cli.${name}
        COMMAND ${CMAKE_COMMAND}
            -DPROGRAM=$<TARGET_FILE:instinfo-check>
            -DWORKDIR=${INSTINFO_CHECK_EXAMPLES}
            -DARGS=${arguments}
            -DEXIT=${exitStatus}
            -DEXPECTED=${expectedPath}
            -DACTUAL=${CMAKE_CURRENT_BINARY_DIR}/actual-${name}.out
            -P ${INSTINFO_CHECK_TESTS}/run_case.cmake)
    # English unless a case asks otherwise, whatever the locale of the machine running the tests.
    set_tests_properties(instinfo_check.cli.${name} PROPERTIES ENVIRONMENT "LC_ALL=C;LC_MESSAGES=;LANG=")
endfunction()

instinfo_check_case(good 0 good.en.txt good.ini)
instinfo_check_case(good_zh 0 good.zh.txt --lang zh good.ini)
instinfo_check_case(addon_folder 0 addon.en.txt addon)
instinfo_check_case(ignored_lines 1 ignored-lines.en.txt ignored-lines.ini)
instinfo_check_case(short_tasks_zh 1 short-tasks.zh.txt --lang=zh short-tasks.ini)
instinfo_check_case(short_tasks_json 1 short-tasks.en.json --json short-tasks.ini)
instinfo_check_case(kinds_targets_zh_json 1 kinds-targets.zh.json --json --lang zh kinds-targets.ini)
instinfo_check_case(fields 1 fields.en.txt fields.ini)
instinfo_check_case(required_flags_zh 1 required-flags.zh.txt --lang zh required-flags.ini)
instinfo_check_case(missing_files 1 missing-files.en.txt missing-files.ini)
instinfo_check_case(run_tasks 1 run-tasks.en.txt run-tasks.ini)
instinfo_check_case(utf8_no_bom 1 utf8-no-bom.en.txt utf8-no-bom.ini)
instinfo_check_case(no_fileitem 2 no-fileitem.en.txt no-fileitem.ini)
instinfo_check_case(not_there_zh 2 not-there.zh.txt --lang zh not-there.ini)
instinfo_check_case(unreadable 2 - unreadable/InstInfo.ini)
instinfo_check_case(no_arguments 3 - --json)
instinfo_check_case(unknown_codepage 3 - --codepage 12345678 good.ini)

# The default language comes from the locale variables.
instinfo_check_case(locale_zh 0 good.zh.txt good.ini)
set_tests_properties(instinfo_check.cli.locale_zh PROPERTIES ENVIRONMENT "LC_ALL=;LC_MESSAGES=;LANG=zh_CN.UTF-8")
instinfo_check_case(locale_lc_all_wins 0 good.en.txt good.ini)
set_tests_properties(instinfo_check.cli.locale_lc_all_wins PROPERTIES ENVIRONMENT "LC_ALL=en_US.UTF-8;LANG=zh_CN.UTF-8")

# The committed example bytes are what make_examples.py writes.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
    add_test(NAME instinfo_check.examples_up_to_date
        COMMAND ${Python3_EXECUTABLE} ${INSTINFO_CHECK_TESTS}/make_examples.py --check)
endif()
