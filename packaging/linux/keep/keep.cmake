# Keeping a calibration across unplugging: the applier udev runs, the helper pkexec runs, the udev rule
# and the polkit action, in the places udev and polkit look under the prefix (/usr for the .deb). The rule
# and the action name the programs at PADWRIGHT_LIBEXEC_DIR, which is where the .deb puts them.
set(PADWRIGHT_LIBEXEC ${PADWRIGHT_LIBEXEC_DIR})
set(keep_dir ${CMAKE_CURRENT_BINARY_DIR}/linux/keep)
configure_file(${CMAKE_CURRENT_LIST_DIR}/72-padwright.rules.in ${keep_dir}/72-padwright.rules @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/org.padwright.keep-calibration.policy.in
               ${keep_dir}/org.padwright.keep-calibration.policy @ONLY)
install(TARGETS padwright-apply padwright-store DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/padwright)
install(FILES ${keep_dir}/72-padwright.rules DESTINATION lib/udev/rules.d)
install(FILES ${keep_dir}/org.padwright.keep-calibration.policy DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)
# Stripped of .comment and .note as the program is.
foreach(program padwright-apply padwright-store)
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
                            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/padwright/${program}\"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()")
endforeach()
# The dialog asks pkexec for the helper; without it the edit still holds until the controller is unplugged.
if(CPACK_DEBIAN_PACKAGE_RECOMMENDS)
  string(APPEND CPACK_DEBIAN_PACKAGE_RECOMMENDS ", pkexec")
else()
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS pkexec)
endif()
