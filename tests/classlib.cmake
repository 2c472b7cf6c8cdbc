kavrenta_add_test(ClassLibTest SOURCES ClassLibTest.cpp LIBS classlib)
