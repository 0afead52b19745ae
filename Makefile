# The README's two commands for those who type make: each target is the script of the same name,
# which needs nothing but bash. BUILD, CMAKE_FLAGS and JOBS reach the scripts from the command
# line (make test BUILD=build-asan CMAKE_FLAGS=-DKEYCARD_SANITIZE=ON); READER=pcsc puts the Mifare
# card on a virtual PC/SC reader (make run READER=pcsc, as root).
BUILD ?= build
CMAKE_FLAGS ?=
READER ?= serial
export BUILD CMAKE_FLAGS JOBS

.PHONY: run test clean

# Each script runs as if typed: the builds inside it are not make's sub-makes.
run:
	@env -u MAKELEVEL -u MAKEFLAGS -u MFLAGS scripts/run.sh $(READER)

test:
	@env -u MAKELEVEL -u MAKEFLAGS -u MFLAGS scripts/test.sh

clean:
	rm -rf $(BUILD)
