kavrenta_add_test(OstrelEncodeTest SOURCES OstrelEncodeTest.cpp LIBS vopack)
