# Pictures and sounds of the demo course, made at build time with ImageMagick and sox
# (media/make_media.sh): background, icon and splash of the product, language flags, message
# box icons, menu bitmaps, start, close and lesson-flow sounds.
# Both come with scripts/setup; without them the configuration stops.
find_program(DEMO_IMAGEMAGICK NAMES convert-im6.q16 convert-im6 convert REQUIRED)
find_program(DEMO_SOX NAMES sox REQUIRED)
demo_course_generate(media media/make_media.sh "Making the demo course's pictures and sounds"
  ENV IM=${DEMO_IMAGEMAGICK})
