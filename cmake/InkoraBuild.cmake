# One INTERFACE target carries the warning set and sanitizer flags for every target.
add_library(inkora_options INTERFACE)
target_compile_options(inkora_options INTERFACE
    -Wall -Wextra -Wundef -Wformat=2 $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor> $<$<COMPILE_LANGUAGE:CXX>:-Woverloaded-virtual>)
target_compile_definitions(inkora_options INTERFACE
    QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING QT_DEPRECATED_WARNINGS
    QT_MESSAGELOGCONTEXT)
if(INKORA_WERROR)
    target_compile_options(inkora_options INTERFACE -Werror)
endif()

# Debian's gcc links --as-needed except with a sanitizer; asked for again, the sanitizer
# builds keep the normal build's libraries, so a tool does not load libddcutil (which
# prints to standard output on machines without DRM) just because the core links it.
if(INKORA_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined -Wl,--as-needed)
elseif(INKORA_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread -Wl,--as-needed)
elseif(NOT INKORA_SANITIZE STREQUAL "")
    message(FATAL_ERROR "INKORA_SANITIZE must be empty, 'address' or 'thread'")
endif()

# inkora_add_test(NAME SOURCES a.cpp b.cpp LIBS lib... LABELS label... [GUI])
# One test executable per module; labels name what a test needs (xvfb, dbus, network).
function(inkora_add_test name)
    cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    if(T_GUI)
        target_link_libraries(${name} PRIVATE inkora_test_main_gui)
    else()
        target_link_libraries(${name} PRIVATE inkora_test_main)
    endif()
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock inkora_options)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;INKORA_BIN_DIR=${CMAKE_BINARY_DIR}/bin;INKORA_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
        TIMEOUT 300)
    if(T_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()
