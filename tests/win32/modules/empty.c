/* The test modules hold resources only; this gives the linker a translation unit to start from. */
typedef int perchlet_resource_only_module;
