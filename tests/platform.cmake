kavrenta_add_test(PlatformTest SOURCES PlatformTest.cpp LIBS platform)
