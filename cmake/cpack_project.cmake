# Read by cpack before it packs: every file of the package, and the archive's
# members, bear the build's SOURCE_DATE_EPOCH unless the caller gave one.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_MDL_SOURCE_DATE_EPOCH})
endif()
