# Every link through lld, as the Android NDK links; TIDELINK_LLD may name a
# versioned one (lld-16).
if(NOT TIDELINK_LLD)
    set(TIDELINK_LLD lld)
endif()
foreach(kind EXE SHARED MODULE)
    set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=${TIDELINK_LLD}")
endforeach()
