# The demo course's lesson: level 1, ten steps.
# - lde/*.lds: the lesson scripts, assembled with ldeasm into DATA/LDE (named with the
#   Directory= prefix D1 of DEMO.INI);
# - lde/msg/<LANG>/*.txt: texts of the scripts and of the stage objects' pop-up menus (the
#   sub-step files), compiled into MSG/<LANG>/D1<name>.MSG;
# - lesson/<LANG>/STEP01.txt and UNITS.txt: the step texts of level 1 and the quantities in
#   both unit systems, compiled into MSG/<LANG>/D1STEP01.MSG and D1UNITS.CNV;
# - lesson/LEVEL01.CFG: the level matrix, copied to DATA/CFG/D1LEVEL01.CFG;
# - pictures (lde/make_pictures.sh, ImageMagick) and help documents (docs/make_docs.sh, groff).
set(DEMO_LESSON_DIR D1)

file(GLOB demo_scripts CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/lde/*.lds)
foreach(src ${demo_scripts})
  get_filename_component(name ${src} NAME_WE)
  set(out ${DEMO_COURSE_DIR}/DATA/LDE/${DEMO_LESSON_DIR}${name})
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${DEMO_COURSE_DIR}/DATA/LDE
    COMMAND ldeasm asm ${src} ${out}
    DEPENDS ${src} ldeasm
    COMMENT "Assembling lesson script ${DEMO_LESSON_DIR}${name}"
    VERBATIM)
  set_property(GLOBAL APPEND PROPERTY DEMO_COURSE_OUTPUTS ${out})
endforeach()

foreach(lang GB FR)
  file(GLOB texts CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/lde/msg/${lang}/*.txt)
  foreach(src ${texts})
    get_filename_component(name ${src} NAME_WE)
    demo_course_message(${src} MSG/${lang}/${DEMO_LESSON_DIR}${name}.MSG)
  endforeach()
  demo_course_message(lesson/${lang}/STEP01.txt MSG/${lang}/${DEMO_LESSON_DIR}STEP01.MSG)
  demo_course_message(lesson/${lang}/UNITS.txt MSG/${lang}/${DEMO_LESSON_DIR}UNITS.CNV)
endforeach()
demo_course_copy(lesson/LEVEL01.CFG DATA/CFG/${DEMO_LESSON_DIR}LEVEL01.CFG)

# ImageMagick and groff come with scripts/setup; without them the configuration stops.
find_program(DEMO_SCRIPTS_IMAGEMAGICK NAMES convert-im6.q16 convert-im6 convert REQUIRED)
demo_course_generate(script_pictures lde/make_pictures.sh
  "Making the pictures of the demo's lesson scripts" ENV IM=${DEMO_SCRIPTS_IMAGEMAGICK})

# Help documents: remade when a source or the generator changes.
find_program(DEMO_GROFF NAMES groff REQUIRED)
find_program(DEMO_GROPDF NAMES gropdf REQUIRED)
file(GLOB demo_docs CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/docs/*/*.ms)
set(stamp ${CMAKE_CURRENT_BINARY_DIR}/docs.stamp)
add_custom_command(OUTPUT ${stamp}
  COMMAND ${CMAKE_COMMAND} -E env GROFF=${DEMO_GROFF}
          sh ${CMAKE_CURRENT_LIST_DIR}/docs/make_docs.sh ${DEMO_COURSE_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/docs/make_docs.sh ${demo_docs}
  COMMENT "Making the demo course's help documents"
  VERBATIM)
set_property(GLOBAL APPEND PROPERTY DEMO_COURSE_OUTPUTS ${stamp})
