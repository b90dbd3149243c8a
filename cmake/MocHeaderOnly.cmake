# duplink_moc_header_only(target): the target's moc step reads each header alone, not the Qt
# headers it includes (moc-header-only.sh.in says why). Where the shell is not at hand, moc runs
# as usual.
if(UNIX)
    get_target_property(moc Qt6::moc LOCATION)
    configure_file("${CMAKE_CURRENT_LIST_DIR}/moc-header-only.sh.in"
                   "${CMAKE_BINARY_DIR}/CMakeFiles/moc-header-only/moc-header-only" @ONLY)
    file(COPY "${CMAKE_BINARY_DIR}/CMakeFiles/moc-header-only/moc-header-only"
         DESTINATION "${CMAKE_BINARY_DIR}"
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                          WORLD_READ WORLD_EXECUTE)
endif()

function(duplink_moc_header_only target)
    if(UNIX)
        set_target_properties(${target} PROPERTIES
                              AUTOMOC_EXECUTABLE "${CMAKE_BINARY_DIR}/moc-header-only")
    endif()
endfunction()
