# Install prefixes of the plug-in's directory table (core/system/yav_paths).
# Each becomes a string-literal compile definition of the same name on
# yav_objects; trailing slashes are dropped so that the table's entries keep
# exactly one "/" between prefix and directory.  PUBLIC so that the tests,
# which link the objects, see the same values.
set(YAV_PREFIX "/opt/tessaro" CACHE PATH "Install prefix of the plug-in")
set(YAV_VAR_PREFIX "/var/tessaro" CACHE PATH "Prefix of the plug-in's variable data and logs")
set(YAV_KR_PREFIX "/opt/Calvenor" CACHE PATH "Install prefix of the code-set library")
set(YAV_RUN_PREFIX "/opt/tessrun" CACHE PATH "Install prefix of the plug-in's runtime")
set(YAV_ETC_PREFIX "/etc" CACHE PATH "Prefix of init.d and rc3.d")

foreach(yav_prefix_var YAV_PREFIX YAV_VAR_PREFIX YAV_KR_PREFIX YAV_RUN_PREFIX YAV_ETC_PREFIX)
    string(REGEX REPLACE "/+$" "" yav_prefix_value "${${yav_prefix_var}}")
    target_compile_definitions(yav_objects PUBLIC "${yav_prefix_var}=\"${yav_prefix_value}\"")
endforeach()
