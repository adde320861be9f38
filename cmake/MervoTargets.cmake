# Shared target settings and the test helper.

# Release builds carry the hardening that Debian's dpkg-buildflags gives (with
# hardening=+all): stack protector, fortified libc calls, full RELRO, PIE (the
# project builds position-independent code throughout).
function(mervo_hardening target)
    if(MSVC)
        return()
    endif()
    set(release "$<OR:$<CONFIG:Release>,$<CONFIG:RelWithDebInfo>,$<CONFIG:MinSizeRel>>")
    target_compile_options(${target} PRIVATE
        "$<${release}:-fstack-protector-strong;-Wformat;-Werror=format-security>")
    target_compile_definitions(${target} PRIVATE "$<${release}:_FORTIFY_SOURCE=2>")
    target_link_options(${target} PRIVATE "$<${release}:LINKER:-z,relro;LINKER:-z,now>")
endfunction()

# Compile settings every target of the project carries. MSVC reads sources without a
# byte-order mark in the system code page; ours are UTF-8 (the Chinese texts).
function(mervo_target_defaults target)
    target_compile_definitions(${target} PRIVATE
        QT_DISABLE_DEPRECATED_BEFORE=0x050F00 QT_NO_FOREACH)
    if(MSVC)
        target_compile_options(${target} PRIVATE "$<$<COMPILE_LANGUAGE:CXX>:/utf-8;/W3>")
    else()
        target_compile_options(${target} PRIVATE "$<$<COMPILE_LANGUAGE:CXX>:-Wall;-Wextra>")
    endif()
    if(WIN32)
        target_compile_definitions(${target} PRIVATE NOMINMAX)
    endif()
    mervo_hardening(${target})
endfunction()

# Module plug-ins keep every C++ symbol to themselves: both plug-ins compile some
# classes from one source, and exported duplicates would bind to whichever library
# the process loaded first. Only Qt's plug-in entry points are exported.
function(mervo_plugin_library target)
    set_target_properties(${target} PROPERTIES PREFIX ""
        CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
endfunction()

# Places a deliverable in the program folder (build/bin).
function(mervo_deliverable target)
    set_target_properties(${target} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${MERVO_BIN_DIR}
        LIBRARY_OUTPUT_DIRECTORY ${MERVO_BIN_DIR})
endfunction()

# mervo_windows_program(target rc.in): on Windows, a GUI-subsystem program with the icon,
# version and manifest of its resource script. The script embeds the manifest, so the
# MSVC linker must not add one of its own (a duplicate resource, or a manifest without
# the common-controls dependency). Elsewhere the script is only checked (windows_syntax).
function(mervo_windows_program target rc_in)
    get_filename_component(name ${rc_in} NAME_WE)
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${name}.rc)
    configure_file(${rc_in} ${rc} @ONLY)
    if(NOT WIN32)
        set_property(GLOBAL APPEND PROPERTY MERVO_WINDOWS_RESOURCES ${rc})
        return()
    endif()
    target_sources(${target} PRIVATE ${rc})
    set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
    if(MSVC)
        target_link_options(${target} PRIVATE /MANIFEST:NO)
    endif()
endfunction()

# mervo_windows_syntax_check(target file...): sources with Windows code (the _win.cpp
# files, which only Windows builds compile, or Windows branches). Other builds check
# them with the mingw-w64 cross compiler, syntax only, with the include folders and
# definitions of target (test windows_syntax).
function(mervo_windows_syntax_check target)
    foreach(f ${ARGN})
        get_filename_component(abs ${f} ABSOLUTE)
        set_property(GLOBAL APPEND PROPERTY MERVO_WINDOWS_SOURCES "${target}|${abs}")
    endforeach()
endfunction()

set(MERVO_XVFB_WRAP ${CMAKE_SOURCE_DIR}/tests/support/xvfb-wrap.sh)

# mervo_add_test(name SOURCES ... [LIBS ...] [LABELS ...] [ARGS ...] [TIMEOUT s])
# Builds a QtTest executable and runs it on a private Xvfb display with the
# environment Qt WebEngine needs when tests run as root.
function(mervo_add_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS;ARGS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    mervo_target_defaults(${name})
    target_link_libraries(${name} PRIVATE Qt::Test ${T_LIBS})
    add_test(NAME ${name} COMMAND ${MERVO_XVFB_WRAP} $<TARGET_FILE:${name}> ${T_ARGS})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        LABELS "${T_LABELS}"
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QTWEBENGINE_DISABLE_SANDBOX=1;QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu --disable-background-networking --disable-component-update --use-fake-device-for-media-stream;QT_LOGGING_RULES=qt.webenginecontext.debug=false;LC_ALL=C.UTF-8")
    if(MERVO_BUILD_FUZZ)
        # The sanitized suites look for memory errors and undefined behaviour; Qt's own
        # process-lifetime allocations would drown a leak report.
        set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0")
    endif()
endfunction()

# mervo_web_resources(target FILES file...): compiles the given web files, plus the
# qwebchannel.js extracted from the linked Qt, into the target's resources at ":/".
function(mervo_web_resources target)
    cmake_parse_arguments(W "" "" "FILES" ${ARGN})
    set(qrc ${CMAKE_CURRENT_BINARY_DIR}/${target}_web.qrc)
    set(content "<RCC>\n  <qresource prefix=\"/\">\n")
    foreach(f ${W_FILES} ${MERVO_QWEBCHANNEL_JS})
        get_filename_component(abs ${f} ABSOLUTE)
        get_filename_component(name ${f} NAME)
        string(APPEND content "    <file alias=\"${name}\">${abs}</file>\n")
    endforeach()
    string(APPEND content "  </qresource>\n</RCC>\n")
    file(WRITE ${qrc}.in "${content}")
    configure_file(${qrc}.in ${qrc} COPYONLY)
    set_source_files_properties(${qrc} PROPERTIES SKIP_AUTORCC ON)
    qt_add_resources(rcc_sources ${qrc})
    target_sources(${target} PRIVATE ${rcc_sources})
    add_dependencies(${target} mervo_qwebchannel_js)
endfunction()
