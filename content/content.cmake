# Scene content, compiled into zeq_scene (see scene/CMakeLists.txt).
set(ZEQ_CONTENT_DIR ${PROJECT_SOURCE_DIR}/content)
target_sources(zeq_scene PRIVATE
  ${ZEQ_CONTENT_DIR}/kzeqdeformer.cpp
  ${ZEQ_CONTENT_DIR}/kzeqcamera.cpp
  ${ZEQ_CONTENT_DIR}/kzeqcameraproperties.cpp
  ${ZEQ_CONTENT_DIR}/kzeqcameraswitcher.cpp
  ${ZEQ_CONTENT_DIR}/kzeqgenericnode.cpp
  ${ZEQ_CONTENT_DIR}/kzeqgeometry.cpp
  ${ZEQ_CONTENT_DIR}/kzeqgeometryconverter.cpp
  ${ZEQ_CONTENT_DIR}/kzeqgeometryconverter_conversions.cpp
  ${ZEQ_CONTENT_DIR}/kzeqglobalcamerasettings.cpp
  ${ZEQ_CONTENT_DIR}/kzeqscene_content.cpp
  ${ZEQ_CONTENT_DIR}/kzeqscene_storage.cpp
  ${ZEQ_CONTENT_DIR}/kzeqgobo.cpp
  ${ZEQ_CONTENT_DIR}/kzeqimageconverter.cpp
  ${ZEQ_CONTENT_DIR}/kzeqtif.cpp
  ${ZEQ_CONTENT_DIR}/kzeqlayer.cpp
  ${ZEQ_CONTENT_DIR}/kzeqlayercontainer.cpp
  ${ZEQ_CONTENT_DIR}/kzeqlink.cpp
  ${ZEQ_CONTENT_DIR}/kzeqlight.cpp
  ${ZEQ_CONTENT_DIR}/kzeqmaterial.cpp
  ${ZEQ_CONTENT_DIR}/kzeqmarker.cpp
  ${ZEQ_CONTENT_DIR}/kzeqmesh.cpp
  ${ZEQ_CONTENT_DIR}/kzeqmesh_normals.cpp
  ${ZEQ_CONTENT_DIR}/kzeqnode_content.cpp
  ${ZEQ_CONTENT_DIR}/kzeqnodelimits_content.cpp
  ${ZEQ_CONTENT_DIR}/kzeqnull.cpp
  ${ZEQ_CONTENT_DIR}/kzeqnurb.cpp
  ${ZEQ_CONTENT_DIR}/kzeqpatch.cpp
  ${ZEQ_CONTENT_DIR}/kzeqsdkmanager_camera.cpp
  ${ZEQ_CONTENT_DIR}/kzeqsdkmanager_content.cpp
  ${ZEQ_CONTENT_DIR}/kzeqsdkmanager_converter.cpp
  ${ZEQ_CONTENT_DIR}/kzeqsdkmanager_genericnode.cpp
  ${ZEQ_CONTENT_DIR}/kzeqsdkmanager_geometry.cpp
  ${ZEQ_CONTENT_DIR}/kzeqsdkmanager_material.cpp
  ${ZEQ_CONTENT_DIR}/kzeqtexture.cpp
  ${ZEQ_CONTENT_DIR}/kzeqsdkmanager_skeleton.cpp
  ${ZEQ_CONTENT_DIR}/kzeqskeleton.cpp
  ${ZEQ_CONTENT_DIR}/kzeqsurfaceevaluator.cpp
  ${ZEQ_CONTENT_DIR}/kzeqnurbsurfaceevaluator.cpp
  ${ZEQ_CONTENT_DIR}/kzeqweightedmapping.cpp
)
# The TIFF routines of the image converter.
find_package(TIFF REQUIRED)
target_link_libraries(zeq_scene PRIVATE TIFF::TIFF)

zeq_add_test(content_tests
  SOURCES
    ${ZEQ_CONTENT_DIR}/tests/kzeqcamera_test.cpp
    ${ZEQ_CONTENT_DIR}/tests/kzeqgenericnode_test.cpp
    ${ZEQ_CONTENT_DIR}/tests/kzeqgeometry_test.cpp
    ${ZEQ_CONTENT_DIR}/tests/kzeqgeometryconverter_test.cpp
    ${ZEQ_CONTENT_DIR}/tests/kzeqgobo_test.cpp
    ${ZEQ_CONTENT_DIR}/tests/kzeqimageconverter_test.cpp
    ${ZEQ_CONTENT_DIR}/tests/kzeqlayer_test.cpp
    ${ZEQ_CONTENT_DIR}/tests/kzeqlink_test.cpp
    ${ZEQ_CONTENT_DIR}/tests/kzeqlight_test.cpp
    ${ZEQ_CONTENT_DIR}/tests/kzeqmaterial_test.cpp
    ${ZEQ_CONTENT_DIR}/tests/kzeqmesh_test.cpp
    ${ZEQ_CONTENT_DIR}/tests/kzeqmesh_normals_test.cpp
    ${ZEQ_CONTENT_DIR}/tests/kzeqmirroredproperties_test.cpp
    ${ZEQ_CONTENT_DIR}/tests/kzeqnurb_test.cpp
    ${ZEQ_CONTENT_DIR}/tests/kzeqscene_test.cpp
    ${ZEQ_CONTENT_DIR}/tests/kzeqscene_storage_test.cpp
    ${ZEQ_CONTENT_DIR}/tests/kzeqtexture_test.cpp
    ${ZEQ_CONTENT_DIR}/tests/kzeqmarker_test.cpp
    ${ZEQ_CONTENT_DIR}/tests/kzeqskeleton_test.cpp
    ${ZEQ_CONTENT_DIR}/tests/kzeqsurfaceevaluator_test.cpp
    ${ZEQ_CONTENT_DIR}/tests/kzeqweightedmapping_test.cpp
  LIBS zeq_scene TIFF::TIFF)
