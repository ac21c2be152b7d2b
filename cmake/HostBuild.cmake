# Native build of the portable logic under AddressSanitizer and UBSan.
set(KQ_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
add_compile_options(${KQ_SANITIZE} -g)
add_link_options(${KQ_SANITIZE})
find_package(GTest REQUIRED)
set(KQ_GTEST_LIBS GTest::gtest_main GTest::gtest)
include(GoogleTest)
