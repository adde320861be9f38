# Update signing keys: minisign public keys compiled into an updater program.

find_program(MERVO_MINISIGN minisign)

# mervo_generate_update_key(DIR NAME): a minisign key pair without password,
# DIR/NAME.pub and DIR/NAME.key, made once at configure time.
function(mervo_generate_update_key dir name)
    if(EXISTS ${dir}/${name}.key AND EXISTS ${dir}/${name}.pub)
        return()
    endif()
    if(NOT MERVO_MINISIGN)
        message(FATAL_ERROR "minisign is needed to generate update keys (make deps installs it)")
    endif()
    file(MAKE_DIRECTORY ${dir})
    file(REMOVE ${dir}/${name}.key ${dir}/${name}.pub)
    execute_process(COMMAND ${MERVO_MINISIGN} -G -W -p ${dir}/${name}.pub -s ${dir}/${name}.key
        RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "minisign -G failed: ${err}")
    endif()
endfunction()

# mervo_update_keys(TARGET KEYS): compiles the public keys of the minisign key file
# KEYS (one or more .pub files concatenated) into TARGET, or none: TARGET accepts
# unsigned installers.
function(mervo_update_keys target keys)
    set(MERVO_KEYS_SOURCE ${keys})
    if(keys STREQUAL "none")
        set(MERVO_KEYS_LIST "")
        set(MERVO_KEYS_UNSIGNED true)
    else()
        if(NOT EXISTS ${keys})
            message(FATAL_ERROR "update key file ${keys} does not exist")
        endif()
        # A key line: base64 of "Ed", the 8-byte key id and the 32-byte key.
        file(STRINGS ${keys} lines REGEX "^RW[A-Za-z0-9+/]+$")
        set(quoted "")
        foreach(line ${lines})
            string(LENGTH "${line}" length)
            if(length EQUAL 56)
                list(APPEND quoted "QStringLiteral(\"${line}\")")
            endif()
        endforeach()
        if(NOT quoted)
            message(FATAL_ERROR "${keys} holds no minisign public key")
        endif()
        list(JOIN quoted ", " MERVO_KEYS_LIST)
        set(MERVO_KEYS_UNSIGNED false)
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${keys})
    endif()
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_updatekeys.cpp)
    configure_file(${CMAKE_SOURCE_DIR}/upgrade/updatekeys.cpp.in ${out} @ONLY)
    target_sources(${target} PRIVATE ${out})
endfunction()
