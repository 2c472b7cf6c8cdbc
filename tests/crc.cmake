kavrenta_add_test(CrcCheckTest SOURCES CrcCheckTest.cpp LIBS vopack)
