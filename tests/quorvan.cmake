# The utility unit's tests.
kavrenta_add_test(QuorvanTest SOURCES QuorvanTest.cpp LIBS quorvan)
