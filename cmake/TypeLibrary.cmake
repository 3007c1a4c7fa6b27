# trovex_type_library(IDL idl TLB out.tlb [HEADER out.h] [INCLUDE dir] [DEPENDS files...] [COMMENT text])
# Compiles an IDL file with the toolchain's widl into a type library (and,
# with HEADER, the C/C++ header of its interfaces) for the target's
# bitness. widl imports stdole2.tlb, which the toolchain file says where to find.
find_file(TROVEX_STDOLE2_TLB stdole2.tlb HINTS ${TROVEX_STDOLE2_HINTS} NO_CMAKE_FIND_ROOT_PATH REQUIRED)
get_filename_component(TROVEX_STDOLE2_DIR "${TROVEX_STDOLE2_TLB}" DIRECTORY)

function(trovex_type_library)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "IDL;TLB;HEADER;INCLUDE;COMMENT" "DEPENDS")
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(arch --win64)
  else()
    set(arch --win32)
  endif()
  set(outputs "${arg_TLB}")
  set(header_args)
  if(arg_HEADER)
    list(APPEND outputs "${arg_HEADER}")
    set(header_args -h -H "${arg_HEADER}")
  endif()
  set(include_args)
  if(arg_INCLUDE)
    set(include_args -I "${arg_INCLUDE}")
  endif()
  get_filename_component(out_dir "${arg_TLB}" DIRECTORY)
  file(MAKE_DIRECTORY "${out_dir}")
  add_custom_command(OUTPUT ${outputs}
    COMMAND ${TROVEX_WIDL} ${arch} ${include_args} -L "${TROVEX_STDOLE2_DIR}" -t -T "${arg_TLB}" ${header_args}
            "${arg_IDL}"
    DEPENDS "${arg_IDL}" ${arg_DEPENDS}
    COMMENT "${arg_COMMENT}")
endfunction()
