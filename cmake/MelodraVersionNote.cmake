# Every executable carries the project version in an ELF note, which is
# where the program reads its own version text from.
set(MELODRA_VERSION_NOTE_SOURCE ${CMAKE_BINARY_DIR}/generated/melVersionNote.c)
configure_file(${CMAKE_SOURCE_DIR}/src/platform/melVersionNote.c.in
               ${MELODRA_VERSION_NOTE_SOURCE} @ONLY)

function(melodra_add_version_note target)
  target_sources(${target} PRIVATE ${MELODRA_VERSION_NOTE_SOURCE})
endfunction()
