quill_test(prefs_test prefs_test.cpp)
