# The demo course's lesson scripts: assembled with ldeasm into DATA/LDE (named with the
# Directory= prefix D1 of DEMO.INI), with the pictures and pop-up menu texts they use.
if(TARGET demo_course AND TARGET ldeasm)
  foreach(name INTRO VALVE)
    set(src ${CMAKE_CURRENT_LIST_DIR}/lde/${name}.lds)
    set(out ${DEMO_COURSE_DIR}/DATA/LDE/D1${name})
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${DEMO_COURSE_DIR}/DATA/LDE
      COMMAND ldeasm asm ${src} ${out}
      DEPENDS ${src} ldeasm
      COMMENT "Assembling lesson script D1${name}"
      VERBATIM)
    set_property(GLOBAL APPEND PROPERTY DEMO_COURSE_OUTPUTS ${out})
  endforeach()

  if(COMMAND demo_course_message)
    foreach(lang GB FR)
      demo_course_message(lde/msg/${lang}/VALVE.txt MSG/${lang}/D1VALVE.MSG)
    endforeach()
  endif()

  find_program(DEMO_SCRIPTS_IMAGEMAGICK NAMES convert-im6.q16 convert-im6 convert)
  if(DEMO_SCRIPTS_IMAGEMAGICK)
    demo_course_generate(script_pictures lde/make_pictures.sh
      "Making the pictures of the demo's lesson scripts" ENV IM=${DEMO_SCRIPTS_IMAGEMAGICK})
  else()
    message(STATUS "demo course: ImageMagick missing, the lesson scripts' pictures left out")
  endif()
endif()
