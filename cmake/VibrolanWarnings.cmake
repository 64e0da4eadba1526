# Common warning set, applied per target so third-party code is unaffected.
function(vibrolan_warnings target)
    target_compile_options(${target} PRIVATE
        $<$<COMPILE_LANG_AND_ID:CXX,GNU>:-Wall -Wextra -Wpedantic -Wshadow=local -Wno-missing-field-initializers>
        $<$<COMPILE_LANG_AND_ID:CXX,Clang>:-Wall -Wextra -Wpedantic -Wno-missing-field-initializers>
        $<$<COMPILE_LANG_AND_ID:C,GNU,Clang>:-Wall -Wextra -Wpedantic>)
endfunction()
