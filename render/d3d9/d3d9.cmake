# Sources and tests of the software Direct3D 9 stand-in.
