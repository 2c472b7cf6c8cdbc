kavrenta_add_test(VoPackReadTest SOURCES VoPackReadTest.cpp LIBS vopack)
