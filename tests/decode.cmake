kavrenta_add_test(OstrelDecodeTest SOURCES OstrelDecodeTest.cpp LIBS vopack)
kavrenta_add_test(VoCompBufferTest SOURCES VoCompBufferTest.cpp LIBS vopack)
