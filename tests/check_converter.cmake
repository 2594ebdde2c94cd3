cmake_minimum_required(VERSION 3.25)
# The converter on many models in one run, as a user runs it (CONVERTER: the
# program, WRAPPER: Wine on Windows; MAKE_INPUTS writes the inputs):
# an archive converts whole, each model's files as its one-by-one conversion;
# a folder at every depth; the summary and the exit status; every damaged or
# hostile archive refused with a clear message, and nothing written outside
# the export's folder. With --gallery, the same model folders and the
# gallery's page and files beside them (VIEWER: the viewer it must carry).
# One picture alone, as a file manager's thumbnailer asks for it.
include(${CMAKE_CURRENT_LIST_DIR}/script_helpers.cmake)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${MAKE_INPUTS} ${WORK}/in RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "make_inputs failed")
endif()

function(convert expected_status)
  execute_process(COMMAND ${WRAPPER} ${CONVERTER} ${ARGN} WORKING_DIRECTORY ${WORK}/in RESULT_VARIABLE status
                  OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL expected_status)
    message(FATAL_ERROR "${ARGN}: exit ${status}, expected ${expected_status}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

# A command line that is wrong: exit 2, the parser's word for it, nothing
# written; help: exit 0. Options begin with '-' only, so a path that begins
# with '/' is a path on Windows too.
foreach(arguments "--no-such-option;models" "models;--export-thumbnail;5000;--export;../out/none"
        "models;--export-normals;flat;--export;../out/none" "models;--export" "models;--gallery")
  convert(2 ${arguments})
endforeach()
if(EXISTS ${WORK}/out/none)
  message(FATAL_ERROR "a wrong command line wrote into its export folder")
endif()
convert(0 --help)
expect("--export-thumbnail")
convert(1 /no-such-folder/ogre.mdl --export ../out/none)
if("${out}${err}" MATCHES "not expected")
  message(FATAL_ERROR "a path that begins with / was taken for an option:\n${out}${err}")
endif()

# A failure is reported as itself, whatever was noted before it: the model
# without frames is noted as having no mesh, then its GLB cannot be written.
file(MAKE_DIRECTORY ${WORK}/in/export_models)
execute_process(COMMAND ${MAKE_MODELS} ${WORK}/in/export_models RESULT_VARIABLE status)
file(MAKE_DIRECTORY ${WORK}/out/notes/no_frames/model.glb)
convert(1 export_models/no_frames.mdl export_models/seam.mdl --export ../out/notes)
expect("1 converted, 0 refused, 1 failed\n")
if(NOT out MATCHES "\nfailed export_models/no_frames.mdl: cannot write [^\n]*model.glb: [^\n]+")
  message(FATAL_ERROR "the failed write is not the reason given:\n${out}")
endif()
if(NOT WRAPPER)
  expect("no_frames/model.glb: Is a directory\n")
endif()

# A plug-in that cannot be loaded: exit 2, before any model.
convert(2 --plugin no-such-module models --export ../out/none)
if(EXISTS ${WORK}/out/none)
  message(FATAL_ERROR "without its plug-in the converter wrote into its export folder")
endif()

# The game's archive: four models (two whose names differ in case only), a
# text file, and a model the plug-in refuses.
convert(1 game/pak0.pak --export ../out/game)
expect("4 converted, 1 refused, 0 failed\n")
expect("refused game/pak0.pak/progs/bad.mdl: Sorry, but this file iz not .MDL")
set(folders progs/ogre progs/Ogre-2 progs/KNIGHT maps/b_bh10)
set(number 1)
foreach(folder ${folders})
  convert(0 loose/${number}.mdl --export ../out/single/${number})
  same_folders(${WORK}/out/game/${folder} ${WORK}/out/single/${number})
  math(EXPR number "${number} + 1")
endforeach()
file(GLOB_RECURSE written RELATIVE ${WORK}/out/game ${WORK}/out/game/*/model.glb)
list(LENGTH written count)
if(NOT count EQUAL 4)
  message(FATAL_ERROR "the archive's conversion wrote ${written}")
endif()
if(EXISTS ${WORK}/out/game/index.html OR EXISTS ${WORK}/out/game/index_files)
  message(FATAL_ERROR "a conversion without --gallery wrote the gallery")
endif()

# The same with the gallery: the same model folders, the page naming every
# model, each one's script, and the viewer carried in the program.
convert(1 game/pak0.pak --export ../out/gallery --gallery)
expect("4 converted, 1 refused, 0 failed\n")
expect("gallery: ../out/gallery")
foreach(folder ${folders})
  same_folders(${WORK}/out/game/${folder} ${WORK}/out/gallery/${folder})
endforeach()
file(READ ${WORK}/out/gallery/index.html page)
foreach(shown ">progs/<wbr>ogre.mdl</button>" ">progs/<wbr>Ogre.mdl</button>" ">progs/<wbr>KNIGHT.MDL</button>"
    ">maps/<wbr>b_bh10.mdl</button>" "title=\"game/pak0.pak\">pak0.pak</h2>"
    "refused <span class=\"path\">progs/<wbr>bad.mdl</span> in <span class=\"from\">pak0.pak</span>")
  string(FIND "${page}" "${shown}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the gallery does not show ${shown}")
  endif()
endforeach()
foreach(file models/0.js models/1.js models/2.js models/3.js gallery.js gallery.css NOTICES.txt)
  if(NOT EXISTS ${WORK}/out/gallery/index_files/${file})
    message(FATAL_ERROR "the gallery has no index_files/${file}")
  endif()
endforeach()
same_files(${WORK}/out/gallery/index_files/model-viewer.min.js ${VIEWER} "the gallery's viewer is not the lockfile's")

# One model: the page beside its files, linking them as they lie; a model
# the plug-in refuses is listed with the plug-in's words.
convert(0 loose/1.mdl --export ../out/one-gallery --gallery)
file(READ ${WORK}/out/one-gallery/index.html page)
foreach(wanted "data-folder=\"\"" "<img class=\"thumb\" src=\"thumbnail.png\"" ">1.mdl</button>" "title=\"loose/1.mdl\"")
  string(FIND "${page}" "${wanted}" at)
  if(at EQUAL -1 OR NOT EXISTS ${WORK}/out/one-gallery/index_files/models/0.js)
    message(FATAL_ERROR "the one model's gallery lacks ${wanted} or its script")
  endif()
endforeach()
file(WRITE ${WORK}/in/not-a-model.mdl "RAPO, not a model")
convert(1 not-a-model.mdl --export ../out/refused-gallery --gallery)
file(READ ${WORK}/out/refused-gallery/index.html page)
string(FIND "${page}" "refused <span class=\"path\">not-a-model.mdl</span>: <span class=\"reason\">" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the refused model is not listed in its gallery")
endif()

# Models with groups, which the plug-in refuses: converted all the same,
# from an archive as one by one; a bad group refused with its reason, in
# the summary and the gallery; the plug-in's own report as it was.
convert(1 groups/groups.pak --export ../out/groups --gallery)
expect("1 converted, 1 refused, 0 failed\n")
expect("refused groups/groups.pak/progs/bad.mdl: frame 2 is a group of 0 frames\n")
convert(0 groups/walk.mdl --export ../out/groups-single)
same_folders(${WORK}/out/groups/progs/walk ${WORK}/out/groups-single)
file(READ ${WORK}/out/groups/index.html page)
foreach(wanted "data-skin-groups=\"[{&quot;variants&quot;:[&quot;skin 0 frame 0&quot;,&quot;skin 0 frame 1&quot;]"
        "5 frames · 2 animations · 2 skins" "<span class=\"reason\">frame 2 is a group of 0 frames</span>")
  string(FIND "${page}" "${wanted}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the gallery of models with groups lacks ${wanted}")
  endif()
endforeach()
convert(1 groups/walk.mdl)
expect("Sorry, but groups not supported in this plugin version")
convert(1 groups/bad.mdl --export ../out/groups-bad)
if(NOT err MATCHES "mdlhost: frame 2 is a group of 0 frames\n")
  message(FATAL_ERROR "the bad group's export does not say why: ${err}")
endif()
convert(0 --thumbnail ../out/groups-walk.png groups/walk.mdl)
same_files(${WORK}/out/groups-walk.png ${WORK}/out/groups-single/thumbnail.png
           "the picture alone of a model with groups is not its export's")

# Models exported side by side: the same files, gallery, summary and dumps
# as one at a time, whatever the number of jobs.
foreach(jobs 1 3)
  convert(1 -j ${jobs} game/pak0.pak groups/groups.pak models --export ../out/jobs-${jobs} --gallery)
  string(REPLACE "jobs-${jobs}" "jobs-N" summary_${jobs} "${out}")
  convert(1 -j ${jobs} --json game/pak0.pak groups/groups.pak models)
  set(dumps_${jobs} "${out}")
endforeach()
same_folders(${WORK}/out/jobs-1 ${WORK}/out/jobs-3)
if(NOT summary_1 STREQUAL summary_3 OR NOT dumps_1 STREQUAL dumps_3)
  message(FATAL_ERROR "three jobs say otherwise than one:\n${summary_1}\n${summary_3}")
endif()
convert(2 -j 0 models --export ../out/none)
# A picture is written after the rest of its model, while the next models
# are converted: where it cannot be, that model fails with the reason, the
# others convert, and the gallery leaves it out, at one job as at three.
foreach(jobs 1 3)
  file(MAKE_DIRECTORY ${WORK}/out/late-${jobs}/top/thumbnail.png)
  convert(1 -j ${jobs} models --export ../out/late-${jobs} --gallery)
  expect("1 converted, 0 refused, 1 failed\n")
  if(NOT out MATCHES "failed models/top.mdl: cannot write [^\n]*thumbnail.png"
     OR NOT EXISTS ${WORK}/out/late-${jobs}/monsters/big/shambler/thumbnail.png)
    message(FATAL_ERROR "-j ${jobs}, a picture that cannot be written:\n${out}")
  endif()
  file(READ ${WORK}/out/late-${jobs}/index.html page)
  string(FIND "${page}" "data-folder=\"top/\"" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "-j ${jobs}: the gallery shows the model whose picture failed")
  endif()
endforeach()

# A folder: every .mdl at any depth, in any letter case; the dumps as one array.
convert(0 models --export ../out/models)
expect("2 converted, 0 refused, 0 failed\n")
foreach(folder top monsters/big/shambler)
  if(NOT EXISTS ${WORK}/out/models/${folder}/model.glb)
    message(FATAL_ERROR "the folder's conversion did not write ${folder}/model.glb")
  endif()
endforeach()
convert(0 --json models loose/1.mdl)
string(JSON count LENGTH "${out}")
string(JSON file GET "${out}" 2 file)
if(NOT count EQUAL 3 OR NOT file STREQUAL "loose/1.mdl")
  message(FATAL_ERROR "--json of three models: ${count} dumps, the last of ${file}")
endif()

# Where an entry cannot be given its temporary file, the entry fails with the
# reason and the run goes on (the temporary folder comes from TMPDIR on Linux).
if(NOT WRAPPER)
  set(ENV{TMPDIR} ${WORK}/no-such-folder)
  convert(1 game/pak0.pak models)
  expect("2 converted, 0 refused, 5 failed\n")
  expect("failed game/pak0.pak/progs/ogre.mdl: no temporary folder: ")
  # Those entries have no dump; --json's array holds the others, still JSON.
  convert(1 --json game/pak0.pak models)
  unset(ENV{TMPDIR})
  string(JSON count LENGTH "${out}")
  if(NOT count EQUAL 2)
    message(FATAL_ERROR "--json after five failed entries: ${count} dumps")
  endif()
endif()

# Damaged and hostile archives: a clear message, and nothing else happens.
foreach(case
    "bad_magic|not a pak archive"
    "short|ends inside its header"
    "directory_outside|the directory lies outside the file"
    "directory_negative|the directory's offset or length is negative"
    "directory_not_whole_entries|not a whole number of 64-byte entries"
    "directory_overflowing|the directory lies outside the file"
    "entry_outside|lies outside the file"
    "entry_negative|negative offset or length"
    "entry_overflowing|lies outside the file"
    "name_without_nul|a name without its terminating NUL")
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 name)
  list(GET case 1 words)
  convert(1 hostile/${name}.pak --export ../out/hostile/${name})
  expect("0 converted, 0 refused, 1 failed\nfailed hostile/${name}.pak: ")
  expect("${words}")
  if(EXISTS ${WORK}/out/hostile/${name})
    message(FATAL_ERROR "the refused archive ${name}.pak wrote into its export folder")
  endif()
endforeach()

# Names that would leave the export's folder: each refused and named, and the
# rest of the archive converted inside it.
convert(1 hostile/unsafe_names.pak --export ../out/unsafe/inside)
expect("1 converted, 6 refused, 0 failed\n")
foreach(name ../evil.mdl /tmp/evil.mdl C:evil.mdl "progs\\evil.mdl" progs/e:vil.mdl progs//evil.mdl)
  expect("refused hostile/unsafe_names.pak/${name}: ")
endforeach()
file(GLOB_RECURSE everything RELATIVE ${WORK} ${WORK}/*evil* ${WORK}/out/unsafe/* /tmp/evil*)
if(NOT everything STREQUAL "out/unsafe/inside/progs/ogre/model.glb;out/unsafe/inside/progs/ogre/model.mtl;out/unsafe/inside/progs/ogre/model.obj;out/unsafe/inside/progs/ogre/texture0.png;out/unsafe/inside/progs/ogre/thumbnail.png")
  message(FATAL_ERROR "written from the unsafe archive: ${everything}")
endif()

# One picture alone: thumbnail.png as the export draws it, byte for byte, at
# any size, and no other file. A model that gives no picture (refused, of
# another format, cut short, without a mesh) and a picture that cannot be
# written: exit 1 with the reason, and no file. Two models: exit 2.
file(MAKE_DIRECTORY ${WORK}/out/pictures)
foreach(size 1 128 1024)
  convert(0 loose/1.mdl --export ../out/picture-export-${size} --export-thumbnail ${size})
  convert(0 --thumbnail ../out/pictures/1-${size}.png --thumbnail-size ${size} loose/1.mdl)
  same_files(${WORK}/out/pictures/1-${size}.png ${WORK}/out/picture-export-${size}/thumbnail.png
             "--thumbnail at ${size} is not the export's thumbnail.png")
endforeach()
convert(0 --thumbnail ../out/pictures/1.png loose/1.mdl)
same_files(${WORK}/out/pictures/1.png ${WORK}/out/one-gallery/thumbnail.png
           "--thumbnail's default size is not the export's")
# A file that is there already, as a thumbnailer makes one: the picture goes
# into it, since its maker reads it through a handle of its own.
file(WRITE ${WORK}/out/pictures/made-by-the-caller.png "")
convert(0 --thumbnail ../out/pictures/made-by-the-caller.png loose/1.mdl)
same_files(${WORK}/out/pictures/made-by-the-caller.png ${WORK}/out/pictures/1.png
           "--thumbnail into a file that was there is not the picture")
file(GLOB written RELATIVE ${WORK}/out/pictures ${WORK}/out/pictures/*)
if(NOT written STREQUAL "1-1.png;1-1024.png;1-128.png;1.png;made-by-the-caller.png")
  message(FATAL_ERROR "--thumbnail wrote ${written}")
endif()
file(MAKE_DIRECTORY ${WORK}/out/no-pictures/in-the-way.png)
foreach(case "not-a-model.mdl|this file iz not" "pictures/foreign.mdl|this file iz not" "pictures/cut.mdl|"
        "export_models/no_frames.mdl|the model has no mesh" "loose/1.mdl|in-the-way.png")
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 model)
  list(GET case 1 words)
  get_filename_component(name ${model} NAME_WE)
  set(picture ../out/no-pictures/${name}.png)
  if(words STREQUAL "in-the-way.png")
    set(picture ../out/no-pictures/in-the-way.png)
  endif()
  convert(1 --thumbnail ${picture} ${model})
  if(NOT err MATCHES "^mdlhost: no picture of ${model}: [^\n]*${words}")
    message(FATAL_ERROR "--thumbnail of ${model} gave no reason:\n${err}")
  endif()
endforeach()
file(GLOB_RECURSE written RELATIVE ${WORK}/out/no-pictures ${WORK}/out/no-pictures/*)
if(written)
  message(FATAL_ERROR "--thumbnail of models that give no picture wrote ${written}")
endif()
convert(2 --thumbnail ../out/no-pictures/two.png loose/1.mdl loose/2.mdl)
convert(2 --thumbnail ../out/no-pictures/big.png --thumbnail-size 1025 loose/1.mdl)
