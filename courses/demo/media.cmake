# Pictures and sounds of the demo course, made at build time with ImageMagick and sox
# (media/make_media.sh): background, icon and splash of the product, language flags, message
# box icons, menu bitmaps, start, close and lesson-flow sounds.
find_program(DEMO_IMAGEMAGICK NAMES convert-im6.q16 convert-im6 convert)
find_program(DEMO_SOX NAMES sox)
if(TARGET demo_course AND DEMO_IMAGEMAGICK AND DEMO_SOX)
  demo_course_generate(media media/make_media.sh "Making the demo course's pictures and sounds"
    ENV IM=${DEMO_IMAGEMAGICK})
else()
  message(STATUS "demo course: ImageMagick or sox missing, pictures and sounds left out")
endif()
