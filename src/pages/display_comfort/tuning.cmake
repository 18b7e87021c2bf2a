# The display tuning panel and the comfort profiles grid: a library of their own with the
# QML module Quellvista.Pages.DisplayComfort.Blocks, which the page links and imports.
# The sources are listed (not globbed) so that a library of this folder that globs can
# leave them out: qv_library(<name> EXCLUDE ${QV_DISPLAY_COMFORT_BLOCK_SOURCES} ...).
set(QV_DISPLAY_COMFORT_BLOCK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ComfortProfileTiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ComfortProfileTiles.h
  ${CMAKE_CURRENT_LIST_DIR}/ComfortProfilesGridModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ComfortProfilesGridModel.h
  ${CMAKE_CURRENT_LIST_DIR}/DisplayTuningPanelModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DisplayTuningPanelModel.h
  ${CMAKE_CURRENT_LIST_DIR}/FrameCoalescer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FrameCoalescer.h
  ${CMAKE_CURRENT_LIST_DIR}/TuningRows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TuningRows.h
)
add_library(qv_display_comfort_blocks STATIC ${QV_DISPLAY_COMFORT_BLOCK_SOURCES})
target_include_directories(qv_display_comfort_blocks PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(qv_display_comfort_blocks PUBLIC qv_design qv_display qv_comfort Qt6::Quick
                      Qt6::QuickControls2)
qv_precompile(qv_display_comfort_blocks)
qv_qml_module(qv_display_comfort_blocks
  URI Quellvista.Pages.DisplayComfort.Blocks
  VERSION 1.0
  NO_PLUGIN
  OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/qml/Quellvista/Pages/DisplayComfort/Blocks
  IMPORTS Quellvista.Design
  QML_FILES
    DisplayTuningPanel.qml
    ComfortProfilesGrid.qml
)
