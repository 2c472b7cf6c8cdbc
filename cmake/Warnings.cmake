# Every target of ours builds warning-free with these.
add_library(kavrenta_warnings INTERFACE)
target_compile_options(kavrenta_warnings INTERFACE -Wall -Wextra -Wpedantic)
install(TARGETS kavrenta_warnings EXPORT KavrentaTargets)
