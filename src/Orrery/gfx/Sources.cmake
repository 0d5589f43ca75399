# The graphics runtime's API-independent sources, for every build that makes
# a back end library.
set(THAW_GFX_DIR ${CMAKE_CURRENT_LIST_DIR})
# Descriptors, parameter packing, id tables, the arithmetic of resources and
# passes, and the pipeline tables the back ends translate.
set(THAW_GFX_PORTABLE_SOURCES
  ${THAW_GFX_DIR}/Parameter.cpp ${THAW_GFX_DIR}/ResourceDesc.cpp ${THAW_GFX_DIR}/PassMath.cpp
  ${THAW_GFX_DIR}/ProgramDesc.cpp ${THAW_GFX_DIR}/PassDesc.cpp ${THAW_GFX_DIR}/PipelineTables.cpp)
# The runtime's shared half, compiled into each back end's library against its
# handle types (Orrery/gfx/Native.h); the back end supplies Backend.h.
set(THAW_GFX_SHARED_SOURCES
  ${THAW_GFX_DIR}/GraphRuntime.cpp ${THAW_GFX_DIR}/PassConfigure.cpp ${THAW_GFX_DIR}/ContextUpdate.cpp
  ${THAW_GFX_DIR}/Image.cpp ${THAW_GFX_DIR}/TextureRuntime.cpp ${THAW_GFX_DIR}/BufferRuntime.cpp
  ${THAW_GFX_DIR}/ProgramBuild.cpp ${THAW_GFX_DIR}/FrameExecution.cpp)
