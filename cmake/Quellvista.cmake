# qv_precompile(<target> [TEST]): the Qt (and, for a test, GoogleTest) headers nearly every
# source of the target includes, parsed once per target instead of once per source. The
# Qt Quick headers join unless CORE says the target does without Qt Quick.
# QV_PRECOMPILED_HEADERS=OFF turns it off (to check that every source includes what it uses).
option(QV_PRECOMPILED_HEADERS "Precompile the common Qt and GoogleTest headers" ON)
function(qv_precompile target)
  cmake_parse_arguments(ARG "TEST;CORE" "" "" ${ARGN})
  if(NOT QV_PRECOMPILED_HEADERS)
    return()
  endif()
  set(headers <algorithm> <cmath> <functional> <memory> <optional>
              <QObject> <QString> <QStringList> <QList> <QHash> <QVariant> <QPointer> <QTimer>
              <QByteArray> <QDateTime> <QFile> <QFileInfo> <QDir> <QJsonDocument> <QJsonObject>
              <QJsonArray> <QColor> <QImage>)
  if(NOT ARG_CORE)
    list(APPEND headers <QGuiApplication> <QPainter> <QQmlEngine> <QQuickItem> <QQuickWindow>)
  endif()
  if(ARG_TEST)
    list(APPEND headers <gtest/gtest.h> <QTest> <QSignalSpy> <QTemporaryDir>)
  endif()
  target_precompile_headers(${target} PRIVATE ${headers})
endfunction()

# qv_library(<name> [CORE] [DEPS targets...] [EXCLUDE files...]): one static library from every
# source in the current folder (and its sub-folders), so adding a file needs no CMake
# edit. EXCLUDE leaves out sources (full paths) that another library of the folder builds.
function(qv_library name)
  cmake_parse_arguments(ARG "CORE" "" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(ARG_EXCLUDE)
    list(REMOVE_ITEM sources ${ARG_EXCLUDE})
  endif()
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  if(sources)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS
      ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    if(ARG_EXCLUDE)
      list(REMOVE_ITEM sources ${ARG_EXCLUDE})
    endif()
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    if(ARG_CORE)
      qv_precompile(${name} CORE)
    else()
      qv_precompile(${name})
    endif()
  else()
    # A folder whose code has not arrived yet.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# qv_test(<name> [DEPS targets...]): one GoogleTest executable from every source in the
# current folder, registered with CTest under the label "unit" (the tests the sanitizer
# build runs, with the live checks labelled "memory"). QML tests run under the display scripts/test provides.
function(qv_test name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE qv_test_support GTest::gtest ${ARG_DEPS})
  qv_precompile(${name} TEST)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600 LABELS unit)
endfunction()

# qv_qml_module(<target> ...): qt_add_qml_module with the project's choice of how the QML is
# compiled: QV_QML_NATIVE (on by default) turns bindings and functions into C++ ahead of
# time; off, the files are compiled to byte code only, which builds several times faster
# and runs the same views (the sanitizer build uses it).
option(QV_QML_NATIVE "Compile QML bindings and functions to C++" ON)
function(qv_qml_module target)
  qt_add_qml_module(${target} ${ARGN})
  if(NOT QV_QML_NATIVE)
    set_property(TARGET ${target} APPEND PROPERTY QT_QMLCACHEGEN_ARGUMENTS --only-bytecode)
  endif()
endfunction()
