# Pictures and sounds of the demo course, made at build time with ImageMagick and sox
# (media/make_media.sh): background, icon and splash of the product, language flags, message
# box icons, menu bitmaps, start, close and lesson-flow sounds.
find_program(DEMO_IMAGEMAGICK NAMES convert-im6.q16 convert-im6 convert)
find_program(DEMO_SOX NAMES sox)
if(TARGET demo_course AND DEMO_IMAGEMAGICK AND DEMO_SOX)
  set(demo_media_stamp ${CMAKE_CURRENT_BINARY_DIR}/media.stamp)
  add_custom_command(OUTPUT ${demo_media_stamp}
    COMMAND ${CMAKE_COMMAND} -E env IM=${DEMO_IMAGEMAGICK}
            sh ${CMAKE_CURRENT_LIST_DIR}/media/make_media.sh ${DEMO_COURSE_DIR}
    COMMAND ${CMAKE_COMMAND} -E touch ${demo_media_stamp}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/media/make_media.sh
    COMMENT "Making the demo course's pictures and sounds"
    VERBATIM)
  set_property(GLOBAL APPEND PROPERTY DEMO_COURSE_OUTPUTS ${demo_media_stamp})
else()
  message(STATUS "demo course: ImageMagick or sox missing, pictures and sounds left out")
endif()
