# qv_precompile(<target> [TEST]): the Qt (and, for a test, GoogleTest) headers nearly every
# source includes, parsed once for the whole build instead of once per source: every
# library shares one precompiled header, every test program another (a header of its own
# per target cost a fifth of the build). CORE is accepted and means the same.
# QV_PRECOMPILED_HEADERS=OFF turns it off (to check that every source includes what it uses).
option(QV_PRECOMPILED_HEADERS "Precompile the common Qt and GoogleTest headers" ON)
set(QV_PCH_HEADERS <algorithm> <cmath> <functional> <memory> <optional>
    <QObject> <QString> <QStringList> <QList> <QHash> <QVariant> <QPointer> <QTimer>
    <QByteArray> <QDateTime> <QFile> <QFileInfo> <QDir> <QJsonDocument> <QJsonObject>
    <QJsonArray> <QColor> <QImage> <QGuiApplication> <QPainter> <QQmlEngine> <QQuickItem>
    <QQuickWindow>)
set(QV_PCH_TEST_HEADERS <gtest/gtest.h> <QTest> <QSignalSpy> <QTemporaryDir>)
# A precompiled header is only taken by a compile whose Qt module definitions (QT_QUICK_LIB
# and the rest, which the Qt headers test) are the header's own: every target that shares
# one links all the modules the program uses.
add_library(qv_qt_modules INTERFACE)
target_link_libraries(qv_qt_modules INTERFACE Qt6::Core Qt6::Gui Qt6::DBus Qt6::Qml Qt6::Quick
                      Qt6::QuickControls2 Qt6::Network Qt6::Svg Qt6::Widgets Qt6::Multimedia)
# The targets that own the two headers.
function(qv_precompile_donor name)
  cmake_parse_arguments(ARG "TEST" "" "" ${ARGN})
  if(NOT QV_PRECOMPILED_HEADERS OR TARGET ${name})
    return()
  endif()
  add_library(${name} STATIC ${PROJECT_SOURCE_DIR}/cmake/precompiled.cpp)
  target_link_libraries(${name} PRIVATE qv_qt_modules)
  set(headers ${QV_PCH_HEADERS})
  if(ARG_TEST)
    target_link_libraries(${name} PRIVATE Qt6::Test GTest::gtest)
    list(APPEND headers ${QV_PCH_TEST_HEADERS})
  endif()
  target_precompile_headers(${name} PRIVATE ${headers})
endfunction()
function(qv_precompile target)
  cmake_parse_arguments(ARG "TEST;CORE" "" "" ${ARGN})
  if(NOT QV_PRECOMPILED_HEADERS)
    return()
  endif()
  target_link_libraries(${target} PRIVATE qv_qt_modules)
  if(ARG_TEST)
    target_link_libraries(${target} PRIVATE Qt6::Test)
    qv_precompile_donor(qv_precompiled_test TEST)
    target_precompile_headers(${target} REUSE_FROM qv_precompiled_test)
  else()
    qv_precompile_donor(qv_precompiled)
    target_precompile_headers(${target} REUSE_FROM qv_precompiled)
  endif()
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
    qv_precompile(${name})
    qv_unity(${name})
  else()
    # A folder whose code has not arrived yet.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# qv_unity(<target>): the target's sources compiled eight to a unit. Test sources share most
# of what they instantiate (GoogleTest's and Qt's templates), which a unit then compiles once;
# it halves the time the tests take to build. Names at file level must then differ across the
# target's sources.
function(qv_unity target)
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  # A test's fixture lives in an unnamed namespace; included into a unit, GCC takes the
  # source for a header and warns about it.
  target_compile_options(${target} PRIVATE -Wno-subobject-linkage)
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
  qv_unity(${name})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  # The desktop's session bus (its portal, notification service, file manager) never answers a
  # test: one that needs a bus starts its own.
  set_tests_properties(${name} PROPERTIES TIMEOUT 600 LABELS unit
                       ENVIRONMENT "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent;AT_SPI_BUS_ADDRESS=")
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
