#include "app/qm_dad_app.h"

int main(int argc, char** argv) {
  vdz::CQmDadIvidudEvuzApp app(argc, argv);
  return app.Run();
}
