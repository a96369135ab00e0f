quill_test(framework_test framework_test.cpp)
quill_test(shell_test shell_test.cpp)
