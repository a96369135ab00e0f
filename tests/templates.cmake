# The template windows, the results form editors, Help and About.
find_package(Qt6 REQUIRED COMPONENTS Test)
quill_test(templates_test templates_test.cpp)
target_link_libraries(templates_test PRIVATE Qt6::Test)
quill_test(help_about_test help_about_test.cpp)
target_link_libraries(help_about_test PRIVATE Qt6::Test)
