# "Done": the generated texts as plain functions, and the whole action on the
# real windows with the files it writes.
quill_test(report_texts_test report_texts_test.cpp)
quill_test(done_test done_test.cpp)
