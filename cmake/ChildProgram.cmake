# kq_use_child_program(<target>): the Windows test finds the stand-in child
# program (tools/child.exe) by its Wine path, Z: being the Linux root.
function(kq_use_child_program target)
  add_dependencies(${target} child)
  string(REPLACE "/" "\\\\" child_path "Z:${CMAKE_BINARY_DIR}/tools/child.exe")
  target_compile_definitions(${target} PRIVATE "KQ_CHILD_PROGRAM=\"${child_path}\"")
endfunction()
