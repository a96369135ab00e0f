quill_test(problem_texts_test problem_texts_test.cpp)
quill_test(submit_test submit_test.cpp)
