# Pictures, cursors, icons and the record player carried inside the program. Included from
# the folder that defines mugwarp_gui, not added as a folder of its own: there Qt compiles
# each resource in one object library that alone runs rcc, and AutoGen skips what rcc wrote.
# Added from another folder, Qt ran rcc for the same file in two targets at once, and a fresh
# parallel build could compile a resource from a file still being written.
set(mugwarp_resource_dir ${CMAKE_CURRENT_LIST_DIR})

qt_add_resources(mugwarp_gui mugwarp_resources
  PREFIX "/"
  BASE ${mugwarp_resource_dir}
  FILES
    ${mugwarp_resource_dir}/example.bmp
    ${mugwarp_resource_dir}/cursors/pen.png
)

# The record player (player/), which an exported recording starts with; read as
# ":/exefile/head". Its object library is built after the player it embeds.
set_source_files_properties(${MUGWARP_PLAYER_FILE} PROPERTIES
                            GENERATED TRUE QT_RESOURCE_ALIAS head)
qt_add_resources(mugwarp_gui mugwarp_player_resource
  PREFIX "/exefile"
  FILES ${MUGWARP_PLAYER_FILE}
  OUTPUT_TARGETS mugwarp_player_resource_targets
)
add_dependencies(mugwarp_gui mugwarp-player)
foreach(resource_target IN LISTS mugwarp_player_resource_targets)
  add_dependencies(${resource_target} mugwarp-player)
endforeach()

# The program's icon (drawn in icons/*.svg, rendered by icons/render-pngs.sh), read by
# icons/program_icon.h as ":/icons/mugwarp-<size>.png".
qt_add_resources(mugwarp_gui mugwarp_icon_resources
  PREFIX "/"
  BASE ${mugwarp_resource_dir}
  FILES
    ${mugwarp_resource_dir}/icons/mugwarp-16.png
    ${mugwarp_resource_dir}/icons/mugwarp-32.png
    ${mugwarp_resource_dir}/icons/mugwarp-48.png
    ${mugwarp_resource_dir}/icons/mugwarp-256.png
)
