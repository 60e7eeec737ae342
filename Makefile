# Builds a Release melvok through CMake, for testing frameworks and anyone who types `make`.
#
#   make                              ./melvok
#   make EXE=/path/to/name CXX=g++    the binary at /path/to/name, built with g++
#   make -j2 ...                      the build in two jobs
#   make clean                        removes the build folder and the binary it copied
#
# The build itself stays in build-make/<compiler>/ (one folder per compiler, so that switching
# CXX never meets a CMake cache made for another). Neither the tests nor the tools are built.
# CMake, a C++20 compiler and make are all it needs.

EXE ?= melvok
CXX ?= g++
CMAKE ?= cmake

BUILD_DIR := build-make/$(subst /,_,$(CXX))

.PHONY: all clean FORCE

all: $(EXE)

# CMake decides what is out of date; the copy is made every time, so that EXE is always the
# binary of the sources as they are now.
$(EXE): FORCE
	$(CMAKE) -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=$(CXX) \
	    -DMELVOK_TESTS=OFF -DMELVOK_BENCH=OFF > /dev/null
	+$(CMAKE) --build $(BUILD_DIR) --target melvok
	@mkdir -p "$(dir $(EXE))"
	cp $(BUILD_DIR)/melvok "$(EXE)"

clean:
	rm -rf build-make
	rm -f "$(EXE)"

FORCE:
