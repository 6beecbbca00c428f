# benchmark targets: sweep
add_executable(sweep_check sweep_check.cpp)
target_link_libraries(sweep_check PRIVATE app_core)
if(NOT TARGET echo_responder) # the tests build it too
  add_executable(echo_responder echo_responder.cpp)
  target_link_libraries(echo_responder PRIVATE hw_policy)
endif()
