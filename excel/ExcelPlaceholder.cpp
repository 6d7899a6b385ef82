// The excel library grows here.
