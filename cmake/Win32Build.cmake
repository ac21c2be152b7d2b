# Size-optimised, fully static 32-bit Windows build.
# C++20 here: for earlier standards libstdc++ declares its prebuilt string
# instantiations extern, and those come as whole objects (some 70 KB in
# SETUP.EXE); C++20 code instantiates just the members it calls.
set(CMAKE_CXX_STANDARD 20)
# -Oz (GCC 12 on): smaller than -Os where it costs some speed (pushes
# instead of moves, fewer inlined copies); nothing here is bound by the CPU.
# -mpreferred-stack-boundary=2: frames kept at the 4-byte alignment that the
# Win32 ABI promises (and that Windows calls back with) instead of padded to
# 16 bytes; the 16 bytes serve SSE, which this build never uses (-march
# stays at pentiumpro, no -msse), and an over-aligned local is still
# aligned by the code that needs it. Also given to the link, which
# generates the program's code under link-time optimisation.
set(KQ_WIN_FLAGS -Oz -ffunction-sections -fdata-sections -mpreferred-stack-boundary=2)
add_compile_options(${KQ_WIN_FLAGS})
add_link_options(-mpreferred-stack-boundary=2)
# No run-time type information: nothing asks a type its name or casts
# across a hierarchy (dynamic_cast, typeid), and GCC still makes the type
# descriptions that catching an exception by its type needs. Every C++
# object of this build, the tests' too, is compiled alike.
add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-fno-rtti>)
add_compile_definitions(WINVER=0x0501 _WIN32_WINNT=0x0501 _WIN32_IE=0x0500 NOMINMAX WIN32_LEAN_AND_MEAN)
add_link_options(-static -static-libgcc -static-libstdc++ -Wl,--gc-sections)
# The library's objects carry link-time-optimisation code beside ordinary
# code (see kqcore). Only SETUP.EXE links the former; everything else links
# the ordinary code, without the linker plugin.
add_link_options(-fno-use-linker-plugin)

add_library(kq_platform_libs INTERFACE)
target_link_libraries(kq_platform_libs INTERFACE kernel32 user32 advapi32 shell32 ole32 uuid wsock32)

# GoogleTest from the sources Debian's googletest package installs, built by
# the same cross compiler. The win32 thread model has no std::mutex, so a
# custom port header (cmake/gtest-win32) supplies what gtest builds on it.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
foreach(t gtest gtest_main)
  target_compile_options(${t} PRIVATE -w)
  target_include_directories(${t} BEFORE PUBLIC ${CMAKE_CURRENT_LIST_DIR}/gtest-win32)
endforeach()
set(KQ_GTEST_LIBS gtest_main gtest)
