// The ODE world of the bouncing sphere: the ground plane y = 0, a sphere of radius 0.5 dropped from
// height 3, and one soft, bouncy contact per touching pair. The handles live at file scope, one world
// per process (see physics.h), so the near callback reads them there and dSpaceCollide's data
// pointer stays unused.
#include "physics/physics.h"

#include <ode/ode.h>

namespace {

dWorldID physicsWorld = nullptr;
dSpaceID physicsSpace = nullptr;
dJointGroupID contactGroup = nullptr;
dBodyID sphereBody = nullptr;
dGeomID sphereGeom = nullptr;
dMass sphereMass;
int contactsThisStep = 0;

const dReal kSphereRadius = 0.5;
const dReal kTimeStep = 0.01;

// Turns a touching pair into one contact joint. The plane has no body; ODE takes the null body as
// the static world.
void nearCallback(void* /*unused*/, dGeomID o1, dGeomID o2) {
  dBodyID b1 = dGeomGetBody(o1);
  dBodyID b2 = dGeomGetBody(o2);
  dContact contact = {};
  contact.surface.mode = dContactBounce | dContactSoftCFM;
  contact.surface.mu = dInfinity;
  contact.surface.bounce = 0.9;
  contact.surface.bounce_vel = 0.1;
  contact.surface.soft_cfm = 0.001;
  int n = dCollide(o1, o2, 1, &contact.geom, sizeof(dContact));
  if (n == 0) return;
  dJointID joint = dJointCreateContact(physicsWorld, contactGroup, &contact);
  dJointAttach(joint, b1, b2);
  ++contactsThisStep;
}

}  // namespace

void initPhysics() {
  // A second world would leak the first and confuse the file-scope handles.
  shutdownPhysics();
  dInitODE();
  physicsWorld = dWorldCreate();
  physicsSpace = dHashSpaceCreate(nullptr);
  dWorldSetGravity(physicsWorld, 0, -0.2, 0);
  dWorldSetCFM(physicsWorld, 0.00001);
  dCreatePlane(physicsSpace, 0, 1, 0, 0);
  contactGroup = dJointGroupCreate(0);
  sphereBody = dBodyCreate(physicsWorld);
  sphereGeom = dCreateSphere(physicsSpace, kSphereRadius);
  dMassSetSphere(&sphereMass, 1.0, kSphereRadius);
  dBodySetMass(sphereBody, &sphereMass);
  dGeomSetBody(sphereGeom, sphereBody);
  dBodySetPosition(sphereBody, 0, 3.0, 0);
  contactsThisStep = 0;
}

void stepPhysics() {
  if (physicsWorld == nullptr) return;
  contactsThisStep = 0;
  dSpaceCollide(physicsSpace, nullptr, nearCallback);
  dWorldQuickStep(physicsWorld, kTimeStep);
  dJointGroupEmpty(contactGroup);
}

glm::vec3 spherePosition() {
  if (sphereGeom == nullptr) return glm::vec3(0.0f);
  const dReal* p = dGeomGetPosition(sphereGeom);
  return glm::vec3(static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]));
}

glm::vec3 sphereVelocity() {
  if (sphereBody == nullptr) return glm::vec3(0.0f);
  const dReal* v = dBodyGetLinearVel(sphereBody);
  return glm::vec3(static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2]));
}

int lastStepContactCount() { return contactsThisStep; }

void shutdownPhysics() {
  if (physicsWorld == nullptr) return;
  dJointGroupDestroy(contactGroup);
  dSpaceDestroy(physicsSpace);  // also destroys the plane and sphere geoms
  dWorldDestroy(physicsWorld);  // also destroys the sphere body
  dCloseODE();
  physicsWorld = nullptr;
  physicsSpace = nullptr;
  contactGroup = nullptr;
  sphereBody = nullptr;
  sphereGeom = nullptr;
  contactsThisStep = 0;
}
