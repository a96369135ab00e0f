# The file layer's output side on a real folder: files replaced together or
# not at all, their permissions and their hidden names.
quill_test(files_test files_test.cpp)
