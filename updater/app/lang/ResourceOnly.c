/* A language library holds resources only; this file gives the linker an object. */
