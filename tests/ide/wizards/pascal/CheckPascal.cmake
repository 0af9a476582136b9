# Compiles what the service wizards generate with Free Pascal in its Delphi mode (fpc -Mdelphi
# -s: parsed and checked, not assembled): the units and programs the wizards' tests expect
# (../expected, the very texts those tests compare the wizards' output with) beside the stub
# units of this folder, which stand in for the library's and the host framework's Pascal side.
#
#   cmake -DFPC=<fpc> -DEXPECTED=<dir> -DSTUBS=<dir> -DWORK=<dir> -P CheckPascal.cmake
#
# Each case compiles in a folder of its own under WORK: its program, which uses its units. The
# resource files that the texts name ({$R *.DFM}, *.RES, *.TLB) are made empty there, and so are
# the host framework's units that the texts name but take nothing from. A case that does not
# compile prints the compiler's messages; the script then fails.
set(failed "")

# check(<case> <main file> <target=source>...): source is a file of EXPECTED or STUBS; @FOLDER@
# in it, which stands for the project's folder between quotes, becomes the case's folder with its
# quotes doubled, as the wizards write it.
function(check name main)
    set(dir ${WORK}/${name})
    file(REMOVE_RECURSE ${dir})
    file(MAKE_DIRECTORY ${dir})
    foreach(unit Messages Provider StdVcl)
        file(WRITE ${dir}/${unit}.pas "unit ${unit};\n\ninterface\n\nimplementation\n\nend.\n")
    endforeach()
    foreach(pair ${ARGN})
        string(REPLACE "=" ";" parts ${pair})
        list(GET parts 0 target)
        list(GET parts 1 source)
        if(EXISTS ${EXPECTED}/${source})
            file(READ ${EXPECTED}/${source} text)
        else()
            file(READ ${STUBS}/${source} text)
        endif()
        string(REPLACE "'" "''" quoted "${dir}")
        string(REPLACE "@FOLDER@" "${quoted}" text "${text}")
        file(WRITE ${dir}/${target} "${text}")
        get_filename_component(base ${target} NAME_WE)
        foreach(extension DFM RES TLB)
            file(WRITE ${dir}/${base}.${extension} "")
        endforeach()
    endforeach()
    execute_process(COMMAND ${FPC} -Mdelphi -s -Fu${STUBS} -FU${dir} -FE${dir} ${main}
                    WORKING_DIRECTORY ${dir} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(result EQUAL 0)
        message(STATUS "${name}: compiles")
    else()
        message("${name}: does not compile\n${output}")
        set(failed "${failed} ${name}" PARENT_SCOPE)
    endif()
endfunction()

check(ntservice ServiceProgram.dpr svc1.pas=NTServiceUnit.pas ServiceProgram.dpr=ServiceProgram.dpr)
check(comservice ServiceProgram.dpr svc1.pas=ComServiceUnit.pas ServiceProgram.dpr=ServiceProgram.dpr)
check(serviceapplication Project1.dpr Project1.dpr=ServiceApplication.dpr)
foreach(variant Ordinary OrdinaryEvents Apartment ApartmentEvents Singleton SingletonEvents)
    check(autoobject-${variant} Project1.dpr svc1.pas=AutoObject${variant}.pas
          Project1_TLB.pas=Project1TlbAutoObject.pas Project1.dpr=ProjectAutoObject.dpr)
endforeach()
# The remote data module's full file name is written into its unit and the project: its folder
# has a quote and braces.
foreach(variant Ordinary Apartment Singleton)
    check("remotedatamodule-${variant} O'Brien {work}" Project1.dpr svc1.pas=RemoteDataModule${variant}.pas
          Project1_TLB.pas=Project1TlbRemoteDataModule.pas
          TamrelRemoteDataModule_TLB.pas=TamrelRemoteDataModuleTlb.pas Project1.dpr=ProjectRemoteDataModule.dpr)
endforeach()

if(failed)
    message(FATAL_ERROR "Generated Pascal that does not compile:${failed}")
endif()
