# The demo course's groups and users, made at build time with the learners tool
# (learners/make_learners.sh), one set per language. Two of them have played the lesson with
# lessonrun, so every other file of the course must be there first.
# One language after the other: the context files of the data folder are shared by both.
get_property(lessonrun_deps GLOBAL PROPERTY DEMO_COURSE_OUTPUTS)
set(previous "")
foreach(lang ${DEMO_LANGUAGES})
  set(dir ${DEMO_COURSE_DIR}/DATA/${DEMO_PRODUCT}/${lang})
  set(outs ${dir}/GROUP.dat ${dir}/GROUP.idx ${dir}/USERS.dat ${dir}/USERS.idx)
  add_custom_command(OUTPUT ${outs}
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/learners/make_learners.sh $<TARGET_FILE:learners>
            ${DEMO_COURSE_DIR} ${lang} $<TARGET_FILE:lessonrun>
    DEPENDS learners/make_learners.sh learners lessonrun ${DEMO_COURSE_DIR}/PRODUCT.DAT
            ${DEMO_COURSE_DIR}/${DEMO_PRODUCT}.INI ${lessonrun_deps} ${previous}
    COMMENT "Making the demo course's ${lang} learners"
    VERBATIM)
  set_property(GLOBAL APPEND PROPERTY DEMO_COURSE_OUTPUTS ${outs})
  set(previous ${outs})
endforeach()
