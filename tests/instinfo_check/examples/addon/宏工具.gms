GMS stand-in
