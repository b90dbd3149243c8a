# Builds every layer check, given as target|header|expected: "builds" must build, "refused"
# must fail because the header cannot be found from that layer, "climbs" must fail the layer's
# include check.
foreach(check IN LISTS CHECKS)
    if(check STREQUAL "")
        continue()
    endif()
    string(REPLACE "|" ";" fields "${check}")
    list(GET fields 0 target)
    list(GET fields 1 header)
    list(GET fields 2 expected)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${target}
                    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(expected STREQUAL "builds")
        if(NOT status EQUAL 0)
            message(FATAL_ERROR "${target}: a downward include failed\n${output}")
        endif()
    elseif(expected STREQUAL "climbs")
        string(FIND "${output}" "includes \"${header}\" from outside its layer" found)
        if(status EQUAL 0 OR found EQUAL -1)
            message(FATAL_ERROR "${target}: ${header} was not refused as past the layer\n"
                                "${output}")
        endif()
    else()
        string(FIND "${output}" "${header}: No such file or directory" found)
        if(status EQUAL 0 OR found EQUAL -1)
            message(FATAL_ERROR "${target}: ${header} was not refused for want of the layer\n"
                                "${output}")
        endif()
    endif()
    message(STATUS "${target}: ${expected}, as it should")
endforeach()
