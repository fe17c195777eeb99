# padwright-apply (run by udev) and padwright-store (run through pkexec): small programs with no window
# system, installed with their udev rule and polkit action by packaging/linux/keep.cmake.
add_executable(padwright-apply keep/padwright_apply.cpp)
target_link_libraries(padwright-apply PRIVATE pw_kernel)
add_executable(padwright-store keep/padwright_store.cpp)
target_link_libraries(padwright-store PRIVATE pw_kernel)
