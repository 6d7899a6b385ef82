// The print library grows here.
