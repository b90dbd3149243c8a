.PHONY: run test build
run:
	tools/run.sh
test:
	tools/test.sh
build:
	tools/build.sh
